// Reading the eleven file sections into the file list.
#include "base/path_policy.h"
#include "base/run_flags.h"
#include "base/text.h"
#include "items/files/file_facts.h"
#include "items/files/file_list.h"
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

// Facts and texts of one file, as an item shows them: the version text (or
// the date text without a version resource) and "size; date"; both texts
// tell an error when the facts cannot be read. Returns whether they were
// read. With wholeFile, a small file's bytes come back there.
bool ReadShownFacts(const std::string& path, FileFacts& facts, std::string& versionText, std::string& details,
                    std::shared_ptr<const HeldContent>* wholeFile = nullptr) {
    FileFactTexts texts;
    std::string error;
    if (ReadFileFacts(path, facts, texts, error, wholeFile)) {
        versionText = facts.hasVersion ? texts.versionText : texts.dateText;
        details = FormatFileDetails(texts.sizeText, texts.dateText);
        return true;
    }
    versionText = kGetErrorText;
    details = kGetErrorText;
    return false;
}

void GatherTarget(FileItem& item, FileFacts& facts) {
    facts = FileFacts{};
    item.targetExists = FileExists(item.targetPath);
    if (item.targetExists) ReadShownFacts(item.targetPath, facts, item.targetVersionText, item.targetDetails);
    if (!item.targetExists) {
        item.targetVersionText = kNotFoundText;
        item.targetDetails.clear();
    }
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
    std::string text = section;
    VariableTrim(text);
    if (text.empty()) return stop == 1 ? 0 : 1;

    const std::vector<std::string_view> lines = SplitLines(text);
    const int total = static_cast<int>(lines.size());
    items.reserve(items.size() + lines.size());

    int done = 0;
    for (std::string_view line : lines) {
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
        item.targetName = FileNamePart(item.targetPath);
        ShowProgressLine(item.targetPath, kItemLine);
        PollStop(++done, total, stop);
        if (stop == 1) return 0;
        // Without every target read, only the installed file's last-write
        // time is taken here; it is opened below when the decision needs it.
        FileFacts targetFacts;
        uint64_t targetTime = 0;
        if (readEveryTarget) {
            GatherTarget(item, targetFacts);
        } else if (!(item.targetExists = FileExists(item.targetPath, targetTime))) {
            item.targetVersionText = kNotFoundText;
        }

        item.sourcePath = CompletePathField(parts.source, variables, programDirectory);
        ShowProgressLine(item.sourcePath, kItemLine);
        item.sourceName = FileNamePart(item.sourcePath);
        FileFacts sourceFacts;
        std::shared_ptr<const HeldContent> whole;
        // A package file is usually there: its facts are read first, and only
        // when that fails is it looked for.
        item.sourceExists = ReadShownFacts(item.sourcePath, sourceFacts, item.sourceVersionText,
                                           item.sourceDetails, holdSmallSources ? &whole : nullptr) ||
                            FileExists(item.sourcePath);
        // A path the path policy refuses was not looked for (it is not
        // missing): the item is marked, and the install reports the refusal.
        const bool sourceRefused = CheckPath(item.sourcePath) != 0;
        const bool refused = sourceRefused || CheckPath(item.targetPath) != 0;
        if (!item.sourceExists) {
            item.sourceVersionText = LoadMessage(kMsgNotFound);
            item.sourceDetails.clear();
            if (!sourceRefused && UserChoosesToFinish(item.sourcePath)) return 0;
        }

        const bool keptUnread = !readEveryTarget && item.targetExists &&
                                KeptWhateverTargetFacts(item, sourceFacts, targetTime);
        if (!readEveryTarget && item.targetExists && !keptUnread)
            ReadShownFacts(item.targetPath, targetFacts, item.targetVersionText, item.targetDetails);
        const UpdateRule rule = keptUnread ? UpdateRule::SameOrOlder : DecideUpdate(item, targetFacts, sourceFacts);
        item.updateRule = static_cast<uint8_t>(rule);
        item.needsUpdate = refused || RuleInstalls(rule) ? 1 : 0;
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
    std::string text = section;
    VariableTrim(text);
    if (text.empty()) return 1;

    const std::vector<std::string_view> lines = SplitLines(text);
    items.reserve(items.size() + lines.size());
    for (std::string_view line : lines) {
        // A blank line is no item (completed, it would name the program's
        // own folder).
        if (TrimView(line, " \t\r\n").empty()) continue;
        FileItem item;
        item.rowKey = count();
        item.sourcePath = " ";
        item.sourceVersionText = " ";
        item.sourceDetails = " ";
        item.sourceName = kNeedToBeDeletedText;
        item.sourceExists = 0;
        item.font = static_cast<uint8_t>(font ? 1 : 0);
        item.registerFile = static_cast<uint8_t>(registerFile ? 1 : 0);
        item.deleteItem = 1;
        item.selected = 1;
        item.needsUpdate = 1;
        item.always = 0;
        item.system = 0;

        item.targetPath = CompletePathField(std::string(line), variables, variables.programDirectory);
        item.targetName = FileNamePart(item.targetPath);
        FileFacts facts;
        GatherTarget(item, facts);
        items.push_back(std::move(item));
    }
    return 1;
}

}  // namespace dp
