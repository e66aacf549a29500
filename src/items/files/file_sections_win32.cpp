// Reading the eleven file sections into the file list.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/fault_guard_win32.h"
#include "base/parallel.h"
#include "base/path_policy.h"
#include "base/reading_watch.h"
#include "base/run_flags.h"
#include "base/text.h"
#include "items/files/file_facts.h"
#include "items/files/file_list.h"
#include "items/files/file_texts.h"
#include "items/files/update_rule.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "base/system_text.h"
#include "resources/message_ids.h"
#include "script/script_text.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// Trims, expands and completes one path field. An undefined variable has
// been reported by the table; the text stays as far as it was expanded.
std::string CompletePathField(std::string field, VariableTable& variables,
                              const std::string& programDirectory) {
    VariableTrim(field);
    variables.ExpandVariables(field, false);
    return CompleteFilePath(field, programDirectory);
}

// Existence and facts of an installed file (with its version text; read
// tells whether they could be read), and its last-write time as the system
// tells it without opening the file.
bool GatherTarget(const std::string& path, FileFacts& facts, std::string& version, bool& read, uint32_t& error,
                  uint64_t& lastWriteTime) {
    facts = FileFacts{};
    error = 0;
    read = false;
    if (!FileExists(path, lastWriteTime)) return false;
    read = ReadShownFacts(path, facts, version, error);
    return true;
}

// What an item shows of its installed file after GatherTarget.
void ShowGatheredTarget(FileItem& item, bool exists, const FileFacts& facts, std::string version, bool read) {
    if (exists)
        ShowTargetFacts(item, facts, std::move(version), read);
    else
        item.targetShown = static_cast<uint8_t>(FileShown::kNotFound);
}

// The facts of what one install line names, read in the line's turn or
// before it.
struct LineFacts {
    bool read = false;  // false: not read yet
    std::string targetPath, sourcePath;
    // The installed file, when every target is read; or only whether it
    // exists, with its last-write time (targetLooked).
    bool targetLooked = false;
    bool targetExists = false;
    bool targetRead = false;
    FileFacts targetFacts;
    std::string targetVersion;
    uint32_t targetError = 0;
    uint64_t targetTime = 0;
    // The package file.
    bool sourceRead = false;
    FileFacts sourceFacts;
    std::string sourceVersion;
    uint32_t sourceError = 0;
    std::shared_ptr<const HeldContent> whole;
    // Found, its facts left to the copy (the target is missing).
    bool sourceForCopy = false;
};

// How the files of a line are read.
struct LineReading {
    bool everyTarget;    // the installed file's facts, whenever it exists
    bool holdWhole;      // a small package file's bytes kept
    bool factsAtCopy;    // with the target missing, the package file only looked for
};

// Reads the files of the two paths: the installed file's facts when every
// target is read, and the package file's (with its bytes when small and
// holdWhole). With factsAtCopy the target is looked for first, and for a
// missing one the package file too, no more.
void ReadLineFacts(LineFacts& line, const LineReading& how) {
    line.read = true;
    if (how.everyTarget) {
        line.targetExists = GatherTarget(line.targetPath, line.targetFacts, line.targetVersion, line.targetRead,
                                         line.targetError, line.targetTime);
    } else if (how.factsAtCopy) {
        line.targetLooked = true;
        line.targetExists = FileExists(line.targetPath, line.targetTime);
        if (!line.targetExists && FileExists(line.sourcePath)) {
            line.sourceForCopy = true;
            return;
        }
    }
    line.sourceRead = ReadShownFacts(line.sourcePath, line.sourceFacts, line.sourceVersion, line.sourceError,
                                     how.holdWhole ? &line.whole : nullptr);
}

// What a field will name once its line is read, or "" when its variables
// cannot be expanded (the line then reports that in its turn).
std::string LookAheadPath(std::string field, VariableTable& variables, const std::string& programDirectory) {
    VariableTrim(field);
    if (!variables.ExpandWithoutReport(field)) return {};
    return CompleteFilePath(field, programDirectory);
}

// Reads the facts of the files that lines [first, first + count) name, several
// at a time: the package files, and the installed files when every target is
// read. Reading only, so the lines then decide in their order as before. A
// line that cannot be read ahead (malformed, a variable that fails, a fault)
// reads its files itself.
std::vector<LineFacts> ReadLinesAhead(const std::vector<std::string_view>& lines, size_t first, size_t count,
                                      VariableTable& variables, const std::string& programDirectory,
                                      const LineReading& how) {
    std::vector<LineFacts> ahead(count);
    for (size_t i = 0; i < count; ++i) {
        InstallLine parts;
        if (!SplitInstallLine(std::string(lines[first + i]), parts)) break;
        ahead[i].targetPath = LookAheadPath(parts.target, variables, programDirectory);
        ahead[i].sourcePath = LookAheadPath(parts.source, variables, programDirectory);
    }
    ParallelFor(count, kFileCallThreads, [&](size_t i) {
        LineFacts& slot = ahead[i];
        if (slot.targetPath.empty() || slot.sourcePath.empty()) return;
        // Built aside and moved in whole. After a processor fault what the
        // read was filling is abandoned, never destroyed (it may be half
        // changed), and the slot stays as it was.
        int done = 0;
        auto facts = std::make_unique<LineFacts>();
        facts->targetPath = slot.targetPath;
        facts->sourcePath = slot.sourcePath;
        const GuardOutcome outcome = RunGuarded(
            [&] {
                ReadLineFacts(*facts, how);
                return 1;
            },
            done);
        if (outcome == GuardOutcome::kCompleted)
            slot = std::move(*facts);
        else if (outcome == GuardOutcome::kProcessorFault)
            facts.release();
    });
    return ahead;
}

// Asks whether to finish (OK) or to go on without the missing source (Cancel).
bool UserChoosesToFinish(const std::string& sourcePath) {
    const std::string text = LoadMessage(kMsgSourceFileNotFound) + " " + sourcePath + ". " +
                             LoadMessage(kMsgFinishOrContinue);
    return ShowErrorText(0, text, kBoxOkCancel) == kAnswerOk;
}

}  // namespace

int FileList::ParseInstallSection(const std::string& section, int always, int registerFile,
                                  int system, int font, VariableTable& variables,
                                  const std::string& programDirectory) {
    int32_t stop = stopRequested.load();
    // (VariableTrim's characters, without a copy of a section that may be large.)
    const std::string_view text = TrimView(section, " \n\r");
    if (text.empty()) return stop == 1 ? 0 : 1;

    const std::vector<std::string_view> lines = SplitLines(text);
    const int total = static_cast<int>(lines.size());
    items.reserve(items.size() + lines.size());

    int done = 0;
    // Without a window nothing paces the reading: the files of the next
    // lines are read ahead, several at a time.
    constexpr size_t kLinesAhead = 256;
    std::vector<LineFacts> ahead;
    size_t aheadFirst = 0;
    const LineReading how{readEveryTarget, holdSmallSources, sourceFactsAtCopy && !readEveryTarget};
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = lines[n];
        NoteSectionLine(line);
        if (readAhead && n == aheadFirst + ahead.size()) {
            aheadFirst = n;
            ahead = ReadLinesAhead(lines, n, std::min(kLinesAhead, lines.size() - n), variables, programDirectory,
                                   how);
        }
        LineFacts* const early = readAhead ? &ahead[n - aheadFirst] : nullptr;
        FileItem item;
        item.rowKey = count();
        item.always = static_cast<uint8_t>(always ? 1 : 0);
        item.registerFile = static_cast<uint8_t>(registerFile ? 1 : 0);
        item.system = static_cast<uint8_t>(system ? 1 : 0);
        item.font = static_cast<uint8_t>(font ? 1 : 0);
        item.deleteItem = 0;

        InstallLine parts;
        if (!SplitInstallLine(std::string(line), parts)) return 0;
        if (parts.always) item.always = 1;

        item.targetPath = CompletePathField(parts.target, variables, programDirectory);
        ShowProgressLine(item.targetPath, kItemLine);
        PollStop(++done, total, stop);
        if (stop == 1) return 0;
        item.sourcePath = CompletePathField(parts.source, variables, programDirectory);
        ShowProgressLine(item.sourcePath, kItemLine);

        LineFacts facts;
        if (early && early->read && early->targetPath == item.targetPath && early->sourcePath == item.sourcePath) {
            facts = std::move(*early);
        } else {
            facts.targetPath = item.targetPath;
            facts.sourcePath = item.sourcePath;
            ReadLineFacts(facts, how);
        }
        // Without every target read, only the installed file's last-write
        // time is taken here; it is opened below when the decision needs it.
        FileFacts& targetFacts = facts.targetFacts;
        uint64_t targetTime = facts.targetTime;
        uint32_t targetError = facts.targetError;
        if (readEveryTarget) {
            item.targetExists = facts.targetExists ? 1 : 0;
            ShowGatheredTarget(item, facts.targetExists, facts.targetFacts, std::move(facts.targetVersion),
                               facts.targetRead);
        } else if (!(item.targetExists = facts.targetLooked ? facts.targetExists
                                                            : FileExists(item.targetPath, targetTime))) {
            item.targetShown = static_cast<uint8_t>(FileShown::kNotFound);
        }
        const FileFacts& sourceFacts = facts.sourceFacts;
        std::shared_ptr<const HeldContent>& whole = facts.whole;
        // (A package file left to the copy shows nothing until then.)
        if (!facts.sourceForCopy)
            ShowSourceFacts(item, sourceFacts, std::move(facts.sourceVersion), facts.sourceRead);
        // A package file is usually there: its facts are read first, and only
        // when that fails is it looked for. With the target missing, the copy
        // may read them.
        item.sourceFactsAtCopy = facts.sourceForCopy ? 1 : 0;
        item.sourceExists = facts.sourceForCopy || facts.sourceRead || FileExists(item.sourcePath);
        // A path the path policy refuses was not looked for (it is not
        // missing): the item is marked, and the install reports the refusal.
        const bool sourceRefused = CheckPath(item.sourcePath) != 0;
        const bool refused = sourceRefused || CheckPath(item.targetPath) != 0;
        if (!item.sourceExists) {
            item.sourceShown = static_cast<uint8_t>(FileShown::kSourceMissing);
            if (!sourceRefused && UserChoosesToFinish(item.sourcePath)) return 0;
        }

        // Whether every target is read or not, an installed file that the
        // package file's facts alone keep is kept, also when its own facts
        // cannot be read: the decision does not need them.
        const bool keptUnread = item.targetExists && KeptWhateverTargetFacts(item, sourceFacts, targetTime);
        if (!readEveryTarget && item.targetExists && !keptUnread) {
            std::string version;
            const bool read = ReadShownFacts(item.targetPath, targetFacts, version, targetError);
            ShowTargetFacts(item, targetFacts, std::move(version), read);
        }
        const UpdateRule rule = keptUnread ? UpdateRule::SameOrOlder : DecideUpdate(item, targetFacts, sourceFacts);
        item.updateRule = static_cast<uint8_t>(rule);
        if (rule == UpdateRule::FactsUnreadable) {
            // Neither kept nor installed unseen: the copy item reports it.
            const bool targetUnread = !targetFacts.factsOk;
            item.unreadableTarget = targetUnread ? 1 : 0;
            item.factsError = targetUnread ? targetError : facts.sourceError;
        }
        item.needsUpdate = refused || RuleInstalls(rule) ? 1 : 0;
        item.targetFacts = targetFacts;
        item.sourceFacts = sourceFacts;
        item.selected = item.needsUpdate;
        // The copy will not have to open a small package file again.
        if (whole && item.needsUpdate && heldBytes + whole->bytes.size() <= kHeldBytesLimit) {
            heldBytes += whole->bytes.size();
            item.heldSource = std::move(whole);
        }
        items.push_back(std::move(item));
    }
    PollStop(0, total, stop);
    return stop == 1 ? 0 : 1;
}

int FileList::ParseDeleteSection(const std::string& section, int registerFile, int font,
                                 VariableTable& variables) {
    const std::string_view text = TrimView(section, " \n\r");
    if (text.empty()) return 1;

    const std::vector<std::string_view> lines = SplitLines(text);
    items.reserve(items.size() + lines.size());
    for (std::string_view line : lines) {
        NoteSectionLine(line);
        // A blank line is no item (completed, it would name the program's
        // own folder).
        if (TrimView(line, " \t\r\n").empty()) continue;
        FileItem item;
        item.rowKey = count();
        item.sourcePath = " ";
        item.sourceShown = static_cast<uint8_t>(FileShown::kBlank);
        item.sourceExists = 0;
        item.font = static_cast<uint8_t>(font ? 1 : 0);
        item.registerFile = static_cast<uint8_t>(registerFile ? 1 : 0);
        item.deleteItem = 1;
        item.selected = 1;
        item.needsUpdate = 1;
        item.always = 0;
        item.system = 0;

        item.targetPath = CompletePathField(std::string(line), variables, variables.programDirectory);
        uint32_t error = 0;
        uint64_t time = 0;
        FileFacts facts;
        std::string version;
        bool read = false;
        const bool exists = GatherTarget(item.targetPath, facts, version, read, error, time);
        item.targetExists = exists ? 1 : 0;
        ShowGatheredTarget(item, exists, facts, std::move(version), read);
        items.push_back(std::move(item));
    }
    return 1;
}

}  // namespace dp
