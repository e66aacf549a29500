// The check of a script (-CHECK=): the run's own reader and parsers read it
// under watch, the boxes they would show become findings on the lines they
// were reading, and the filled model answers the rest (the same target twice,
// shortcuts never created, refused deletions, missing programs, the
// registration and key files' lines).
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

#include "base/fault_guard_win32.h"
#include "base/file_system_win32.h"
#include "base/program_win32.h"
#include "base/reading_watch.h"
#include "base/seam.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/directories/directories.h"
#include "items/files/file_list.h"
#include "items/files/update_rule.h"
#include "items/program_runs/program_runs.h"
#include "items/registry/protected_keys.h"
#include "items/registry/reg_file_text.h"
#include "items/registry/registry_keys_win32.h"
#include "log/message_box.h"
#include "model/install_script.h"
#include "model/reading_observer.h"
#include "model/script_check.h"
#include "model/script_sections.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

constexpr size_t kNone = std::string::npos;

// How many entries each list held when a line was taken up: the entries a
// line adds have the numbers from its counts on.
struct ListCounts {
    size_t files = 0;
    size_t regKeys = 0;
    size_t runs = 0;
    size_t shortcuts = 0;
    size_t directories = 0;
};

// One line a section parser took up.
struct LineRecord {
    std::string section;    // its section's header
    std::string text;       // the line as the parser took it
    size_t offset = kNone;  // where it stands in the stripped text
    int32_t line = 0;       // its original line
    ListCounts counts;
    bool boxed = false;     // a box came while it was read (its finding says what failed)
};

bool IsInstallSection(std::string_view header) {
    for (std::string_view install :
         {kInstallFilesSection, kInstallSystemFilesSection, kInstallSystemRegisterFilesSection, kInstallFontsSection,
          kAlwaysInstallFontsSection, kAlwaysInstallFilesSection, kInstallRegisterFilesSection,
          kAlwaysInstallRegisterFilesSection})
        if (header == install) return true;
    return false;
}

bool IsExistingFile(const std::string& path) {
    DWORD attributes = 0;
    return GetPathAttributes(path, attributes) == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The text after a message's own words (and a blank), without the final period.
std::string DetailAfter(const std::string& text, const std::string& message) {
    std::string detail = text.substr(std::min(message.size(), text.size()));
    TrimChars(detail, " \r\n");
    if (!detail.empty() && detail.back() == '.') detail.pop_back();
    return detail;
}

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    TrimChars(text, " ");
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// A registration or key file as the check reads it: the text a reader sees
// (up to a zero byte); `loaded` false when it cannot be read.
struct FileText {
    bool loaded = false;
    std::string text;
    std::string withoutZeros;  // every zero byte removed (UTF-16 read as if 8-bit)
    size_t nextKeyLine = 0;    // where FindKeyLine goes on
    bool commentsChecked = false;
};

class ScriptCheck final : public ReadingObserver, public ReadingWatcher {
public:
    ScriptCheck(InstallScript& script, std::string scriptPath, std::string shownPath)
        : script_(script), scriptPath_(std::move(scriptPath)), shownPath_(std::move(shownPath)) {
        fileOrder_[shownPath_] = 0;
    }

    // --- ReadingObserver ------------------------------------------------------

    void ScriptLoaded(const std::string& text) override {
        stripped_ = std::make_unique<StrippedScript>(text);
        for (const LineFinding& f : FindCommentsAfterText(text)) Add(shownPath_, f.line, f.severity, f.text);
        std::vector<std::string_view> headers;
        for (const ScriptSection& row : kScriptSections) headers.emplace_back(row.header);
        for (const LineFinding& f : FindSectionLayout(*stripped_, headers)) Add(shownPath_, f.line, f.severity, f.text);
    }

    void Turning(std::string_view step) override {
        step_.assign(step);
        stepFirstRecord_ = records_.size();
        headerOffset_ = kNone;
        cursor_ = kNone;
        if (step == kLogPathStep || !stripped_) return;
        headerOffset_ = stripped_->text().find(step);
        if (headerOffset_ != kNone) cursor_ = headerOffset_ + step.size();
    }

    int SectionFailed(InstallScript& script, const ScriptSection& row, const std::string& section) override {
        size_t failed = ReportFailure(stepFirstRecord_);
        if (failed == kNone || !stripped_ || headerOffset_ == kNone) return 1;
        // The section's text stands in the stripped text right after its
        // header (less the blanks its trim took); the lines after the failed
        // one are read on as the run would read them once it is mended.
        size_t base = stripped_->text().find(section, headerOffset_);
        if (base == kNone) return 1;
        std::string rest = section;
        for (;;) {
            const LineRecord& line = records_[failed];
            if (line.offset == kNone || line.offset < base) break;
            size_t end = line.offset - base + line.text.size();
            if (end > rest.size()) break;
            if (end < rest.size() && rest[end] == '\n') ++end;
            rest.erase(0, end);
            base += end;
            if (TrimView(rest, " \t\r\n").empty()) break;
            const size_t first = records_.size();
            int result = 0;
            const GuardOutcome outcome = RunGuarded([&] { return row.parse(script, rest); }, result);
            if (outcome != GuardOutcome::kCompleted) return 0;  // the reader reports the fault
            if (result != 0) break;
            failed = ReportFailure(first);
            if (failed == kNone) break;
        }
        return 1;
    }

    // --- ReadingWatcher -------------------------------------------------------

    void SectionLine(std::string_view line) override {
        LineRecord record;
        record.section = step_;
        record.text.assign(line);
        if (stripped_ && cursor_ != kNone) {
            const size_t at = stripped_->text().find(line, cursor_);
            if (at != kNone) {
                record.offset = at;
                record.line = stripped_->OriginalLine(at);
                cursor_ = at + line.size();
            }
        }
        if (record.offset == kNone) record.line = HeaderLine();
        record.counts = Counts();
        if (step_ == "[Parameters]" && line.substr(0, line.find('=')).find("LOGFILE") != std::string_view::npos)
            logFileRecord_ = records_.size();
        records_.push_back(std::move(record));
    }

    void RejectedFileLine(std::string_view line) override { rejected_ = std::string(line); }

    // --- Boxes of the reading -------------------------------------------------

    int OnBox(const std::string& text, const std::string& caption, unsigned style) {
        std::optional<std::string> rejected = std::move(rejected_);
        rejected_.reset();
        const size_t at = Current();
        LineRecord* record = at == kNone ? nullptr : &records_[at];
        const int32_t line = record ? record->line : HeaderLine();
        const bool keyFile = step_ == "[DeleteRegEntries]";

        auto startsWith = [&text](int id, std::string& message) {
            message = LoadMessage(id);
            return !message.empty() && text.rfind(message, 0) == 0;
        };
        std::string message;
        if (startsWith(kMsgWrongRegEntriesFormat, message)) {
            // Without a rejected file line it is the section line that has no
            // "=": the failed section reports it.
            if (record && rejected) {
                ReportRejectedFileLine(*record, *rejected, keyFile);
            } else if (!record || record->text.find('=') == std::string::npos) {
                return Answer(style);
            } else {
                Add(shownPath_, line, Severity::Error,
                    std::string(keyFile ? "key file " : "registration file ") + NamedFile(*record) +
                        " is not taken by its reader");
            }
        } else if (startsWith(kMsgSourceFileNotFound, message)) {
            std::string path = DetailAfter(text, message);
            const std::string finish = ". " + LoadMessage(kMsgFinishOrContinue).substr(0, 8);
            if (const size_t cut = path.rfind(finish); cut != kNone) path.resize(cut);
            Add(shownPath_, line, Severity::Error, "package file " + path + " does not exist");
        } else if (startsWith(kMsgUndefinedVariable, message)) {
            const std::string name = DetailAfter(text, message);
            std::vector<std::string_view> names(script_.variables->names.begin(), script_.variables->names.end());
            const std::string nearest = NearestName(name, names);
            Add(shownPath_, line, Severity::Error,
                "undefined variable %" + name + "%" + (nearest.empty() ? "" : " (did you mean %" + nearest + "%?)"));
        } else if (startsWith(kMsgErrorOpeningIni, message)) {
            // "<message> <path>. <system text>"
            std::string why = DetailAfter(text, message);
            why = why.rfind(scriptPath_, 0) == 0 ? why.substr(scriptPath_.size()) : std::string();
            TrimChars(why, ". ");
            Add(shownPath_, 0, Severity::Error, "the script cannot be read" + (why.empty() ? "" : ": " + why));
        } else if (startsWith(kMsgErrorOpeningRegFile, message)) {
            const std::string path = DetailAfter(text, message);
            std::string bytes;
            const uint32_t error = ReadWholeFile(path, bytes);
            Add(shownPath_, line, Severity::Error,
                std::string(keyFile ? "key file " : "registration file ") + path + " cannot be read" +
                    (error ? ": " + OneLine(SystemErrorText(error)) : std::string()));
        } else {
            Add(shownPath_, line, Severity::Error, OneLine(text));
        }
        if (record) record->boxed = true;
        return Answer(style);
    }

    // --- After the reading: what the model answers ------------------------------

    void CheckModel() {
        CheckLines();
        CheckFiles();
        CheckShortcuts();
        CheckDirectories();
        CheckPrograms();
        CheckRegistrationFiles();
        CheckKeyFiles();
    }

    std::vector<Finding> Findings() const {
        std::vector<Finding> sorted = findings_;
        std::stable_sort(sorted.begin(), sorted.end(), [this](const Finding& a, const Finding& b) {
            const int fa = fileOrder_.at(a.file);
            const int fb = fileOrder_.at(b.file);
            return fa != fb ? fa < fb : a.line < b.line;
        });
        return sorted;
    }

private:
    static int Answer(unsigned style) {
        // The reading goes on: the missing-source prompt is answered "go on".
        switch (style & 0xF) {
        case kBoxOk: return kAnswerOk;
        case kBoxYesNo: return kAnswerNo;
        default: return kAnswerCancel;
        }
    }

    void Add(const std::string& file, int32_t line, Severity severity, std::string text) {
        fileOrder_.emplace(file, static_cast<int>(fileOrder_.size()));
        findings_.push_back({file, line, severity, std::move(text)});
    }

    int32_t HeaderLine() const {
        return stripped_ && headerOffset_ != kNone ? stripped_->OriginalLine(headerOffset_) : 0;
    }

    // The line being read now: the LOGFILE line while the log's name is
    // completed, else the last line of the current section; kNone before it
    // has taken up any.
    size_t Current() const {
        if (step_ == kLogPathStep) return logFileRecord_;
        return records_.size() > stepFirstRecord_ ? records_.size() - 1 : kNone;
    }

    ListCounts Counts() const {
        return {script_.fileList.items.size(), script_.regKeys.keyPaths.size(), script_.runList.commands.size(),
                script_.shortcutList.linkPaths.size(), script_.directoryList.paths.size()};
    }

    // The section's parser failed on its last line from `first` on: the
    // failure's finding (unless a box on that line has told it). The line's
    // record, or kNone when the parser took up no line.
    size_t ReportFailure(size_t first) {
        if (records_.size() <= first) {
            Add(shownPath_, HeaderLine(), Severity::Error, "section " + step_ + " fails: a run stops reading here");
            return kNone;
        }
        LineRecord& line = records_.back();
        if (!line.boxed)
            Add(shownPath_, line.line, Severity::Error,
                line.text.find('=') == std::string::npos
                    ? "no \"=\" in this line of " + step_ + ": a run stops reading the script here"
                    : "section " + step_ + " fails at this line: a run stops reading the script here");
        return records_.size() - 1;
    }

    // The line that added entry `index` to the list counted by `field`.
    const LineRecord* RecordOf(size_t ListCounts::*field, size_t index) const {
        auto after = std::upper_bound(records_.begin(), records_.end(), index,
                                      [field](size_t i, const LineRecord& r) { return i < r.counts.*field; });
        return after == records_.begin() ? nullptr : &*(after - 1);
    }
    int32_t LineOf(size_t ListCounts::*field, size_t index) const {
        const LineRecord* record = RecordOf(field, index);
        return record ? record->line : 0;
    }

    std::string NamedFile(const LineRecord& record) const {
        std::string path;
        RegFilePathFromLine(record.text, script_.variables->programDirectory, path);
        return path;
    }

    FileText& LoadFile(const std::string& path) {
        FileText& file = files_[path];
        if (file.loaded) return file;
        std::string bytes;
        if (ReadWholeFile(path, bytes) != 0) return file;
        file.loaded = true;
        file.text = bytes.substr(0, bytes.find('\0'));
        file.withoutZeros = bytes;
        file.withoutZeros.erase(std::remove(file.withoutZeros.begin(), file.withoutZeros.end(), '\0'),
                                file.withoutZeros.end());
        return file;
    }

    void ReportRejectedFileLine(const LineRecord& record, const std::string& rejected, bool keyFile) {
        const std::string path = NamedFile(record);
        const FileText& file = LoadFile(path);
        int32_t line = FindRejectedLine(file.text, rejected, keyFile);
        if (line == 0) line = FindRejectedLine(file.withoutZeros, rejected, keyFile);
        rejectedAt_[path] = line > 0 ? line : 1;
        Add(path, line, Severity::Error, ExplainRejectedFileLine(rejected, keyFile));
    }

    void CheckLines() {
        for (const LineRecord& r : records_) {
            if (r.section == "[Parameters]") {
                const size_t equals = r.text.find('=');
                if (equals == std::string::npos) continue;
                const std::string_view key = std::string_view(r.text).substr(0, equals);
                const std::string_view value = std::string_view(r.text).substr(equals + 1);
                if (std::optional<LineFinding> f = CheckParameterLine(key, value))
                    Add(shownPath_, r.line, f->severity, f->text);
                if (key.find("ARCHITECTURE") != std::string_view::npos &&
                    value.find("X64") != std::string_view::npos && script_.NeedsOtherArchitecture())
                    Add(shownPath_, r.line, Severity::Warning,
                        "this system is a 32-bit one: a run here refuses the script, which needs 64-bit Windows");
            } else if (IsInstallSection(r.section)) {
                InstallLine parts;
                if (!SplitInstallLine(r.text, parts)) continue;
                for (std::string& text : CheckInstallOptions(parts.options))
                    Add(shownPath_, r.line, Severity::Warning, std::move(text));
            } else if (r.section == "[RunFileFirst]" || r.section == "[RunFileEnd]") {
                for (std::string& text : CheckRunFlags(r.text)) Add(shownPath_, r.line, Severity::Warning, std::move(text));
            }
        }
    }

    void CheckFiles() {
        std::unordered_map<std::string, size_t> first;  // target, letters folded -> its first item
        const std::vector<FileItem>& items = script_.fileList.items;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].deleteItem) continue;
            std::string key = items[i].targetPath;
            for (char& c : key) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            const auto [it, isNew] = first.emplace(key, i);
            if (isNew) continue;
            Add(shownPath_, LineOf(&ListCounts::files, i), Severity::Warning,
                "target " + items[i].targetPath + " is installed again (first at line " +
                    std::to_string(LineOf(&ListCounts::files, it->second)) + ")");
        }
    }

    bool InstalledExactly(const std::string& path) const {
        for (const FileItem& item : script_.fileList.items)
            if (!item.deleteItem && item.targetPath == path) return true;
        return false;
    }
    bool InstalledNoCase(const std::string& path) const {
        for (const FileItem& item : script_.fileList.items)
            if (!item.deleteItem && EqualNoCase(item.targetPath, path)) return true;
        return false;
    }

    void CheckShortcuts() {
        const ShortcutList& list = script_.shortcutList;
        for (size_t i = 0; i < list.targetPaths.size(); ++i) {
            const std::string& target = list.targetPaths[i];
            if (InstalledExactly(target)) continue;
            Add(shownPath_, LineOf(&ListCounts::shortcuts, i), Severity::Warning,
                InstalledNoCase(target)
                    ? "shortcut target " + target + " differs only in case from the installed file: the run compares "
                      "exactly, so the shortcut is never created"
                    : "shortcut target " + target + " is installed by no line of the script: the shortcut is never created");
        }
    }

    void CheckDirectories() {
        const DirectoryList& list = script_.directoryList;
        for (size_t i = 0; i < list.paths.size(); ++i) {
            if (!list.isDelete[i] || list.paths[i].empty()) continue;
            if (!IsDeletionRefused(list.paths[i], *script_.variables)) continue;
            Add(shownPath_, LineOf(&ListCounts::directories, i), Severity::Error,
                "a run refuses to delete " + list.paths[i] +
                    " (a drive root, a system or profile folder, or a folder that holds one)");
        }
    }

    bool ProgramExists(const std::string& name) const {
        auto exists = [](const std::string& path) {
            return IsExistingFile(path) || (FileNamePart(path).find('.') == std::string::npos && IsExistingFile(path + ".exe"));
        };
        const std::string& programDirectory = script_.variables->programDirectory;
        if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos)
            return exists(name) || (name.find(':') == std::string::npos && exists(programDirectory + name));
        // Where the system looks for a program named without a folder.
        std::vector<std::string> folders = {programDirectory, ""};
        for (const char* predefined : {"WINDOWS_SYSTEM_PATH", "WINDOWS_PATH"})
            if (const std::string* value = script_.variables->FindValue(predefined)) folders.push_back(*value);
        const std::string path = EnvironmentText("PATH");
        for (std::string_view rest = path; !rest.empty();) {
            const size_t semi = rest.find(';');
            std::string folder(TrimView(rest.substr(0, semi), " \""));
            rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
            if (folder.empty()) continue;
            if (folder.back() != '\\') folder += '\\';
            folders.push_back(std::move(folder));
        }
        for (const std::string& folder : folders)
            if (exists(folder + name)) return true;
        return false;
    }

    bool InstalledByScript(const std::string& program) const {
        const std::string inProgramDirectory = script_.variables->programDirectory + program;
        for (const FileItem& item : script_.fileList.items) {
            if (item.deleteItem) continue;
            for (const std::string& name : {program, program + ".exe", inProgramDirectory, inProgramDirectory + ".exe"})
                if (EqualNoCase(item.targetPath, name)) return true;
        }
        return false;
    }

    void CheckPrograms() {
        const RunFileList& list = script_.runList;
        for (size_t i = 0; i < list.commands.size(); ++i) {
            const std::string& command = list.commands[i];
            std::string program;
            if (list.shellFlags[i]) {
                program = command;
            } else {
                // A program whose path holds blanks is found as the run finds it.
                const std::string line = UnambiguousCommandLine(command, &IsExistingFile);
                if (!command.empty() && command[0] != '"' && !line.empty() && line[0] == '"') continue;
                program = FirstWordOfCommand(command);
            }
            if (program.empty() || ProgramExists(program) || InstalledByScript(program)) continue;
            Add(shownPath_, LineOf(&ListCounts::runs, i), Severity::Warning,
                std::string(list.shellFlags[i] ? "document " : "program ") + program +
                    " does not exist, and no line of the script installs it");
        }
    }

    void CheckRegistrationFiles() {
        std::map<std::string, bool> done;
        for (const LineRecord& r : records_) {
            if (r.section != "[InstallRegEntries]" || r.text.find('=') == std::string::npos) continue;
            const std::string path = NamedFile(r);
            if (done[path]) continue;
            done[path] = true;
            const FileText& file = LoadFile(path);
            if (!file.loaded) continue;
            const auto rejected = rejectedAt_.find(path);
            const std::vector<std::string_view> lines = SplitLines(file.text);
            for (size_t k = 0; k < lines.size(); ++k) {
                const int32_t line = static_cast<int32_t>(k + 1);
                if (rejected != rejectedAt_.end() && line >= rejected->second) break;
                for (std::string& text : FindFormsReadDifferently(lines[k])) Add(path, line, Severity::Warning, std::move(text));
            }
        }
    }

    void CheckKeyFiles() {
        // Key files lose their comments as the script does.
        for (const LineRecord& r : records_) {
            if (r.section != "[DeleteRegEntries]" || r.text.find('=') == std::string::npos) continue;
            const std::string path = NamedFile(r);
            FileText& file = LoadFile(path);
            if (!file.loaded || file.commentsChecked) continue;
            file.commentsChecked = true;
            for (const LineFinding& f : FindCommentsAfterText(file.text)) Add(path, f.line, f.severity, f.text);
        }
        const std::vector<std::string>& keys = script_.regKeys.keyPaths;
        for (size_t i = 0; i < keys.size(); ++i) {
            const LineRecord* record = RecordOf(&ListCounts::regKeys, i);
            if (!record) continue;
            const std::string path = NamedFile(*record);
            FileText& file = LoadFile(path);
            const int32_t line = file.loaded ? FindKeyLine(file.text, keys[i], file.nextKeyLine) : 0;
            const KeyPathParts parts = SplitKeyPath(keys[i]);
            if (!parts.hasBackslash || !RootKeyFromPath(keys[i]))
                Add(path, line, Severity::Error,
                    "key " + keys[i] + " names no key below a known root (HKEY_LOCAL_MACHINE, HKLM, HKEY_CURRENT_USER, "
                    "HKCU, ...): a run refuses it");
            else if (IsProtectedRegistryKey(keys[i]))
                Add(path, line, Severity::Error,
                    "key " + keys[i] + " is shared by every program or the system's own: a run refuses to delete it");
        }
    }

    InstallScript& script_;
    std::string scriptPath_;  // as the reader opens it
    std::string shownPath_;
    std::unique_ptr<StrippedScript> stripped_;
    std::string step_;
    size_t stepFirstRecord_ = 0;
    size_t headerOffset_ = kNone;
    size_t cursor_ = kNone;
    size_t logFileRecord_ = kNone;
    std::vector<LineRecord> records_;
    std::optional<std::string> rejected_;
    std::map<std::string, FileText> files_;
    std::map<std::string, int32_t> rejectedAt_;  // registration file -> its rejected line
    std::map<std::string, int> fileOrder_;
    std::vector<Finding> findings_;
};

// The watcher is the check's only while it reads.
class WatchedReading {
public:
    explicit WatchedReading(ReadingWatcher* watcher) { SetReadingWatcher(watcher); }
    ~WatchedReading() { SetReadingWatcher(nullptr); }
    WatchedReading(const WatchedReading&) = delete;
    WatchedReading& operator=(const WatchedReading&) = delete;
};

}  // namespace

std::vector<Finding> CheckScript(const std::string& path, const std::string& shownPath) {
    auto script = std::make_unique<InstallScript>();
    script->planOnly = true;  // no log
    script->fileList.readEveryTarget = false;
    script->fileList.readAhead = true;
    ScriptCheck check(*script, path, shownPath);
    script->observer = &check;
    const Replaced<MessageBoxHandler> boxes(
        SetMessageBoxHandler,
        [&check](const std::string& text, const std::string& caption, unsigned style) {
            return check.OnBox(text, caption, style);
        });
    {
        const WatchedReading watched(&check);
        script->ReadScript(path);
    }
    if (ProcessorFaultOccurred()) {
        // The model may be half changed: it is neither looked at nor destroyed.
        (void)script.release();
        return check.Findings();
    }
    check.CheckModel();
    return check.Findings();
}

}  // namespace dp
