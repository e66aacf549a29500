// Creating and deleting shell links through the shell link object, one work
// item per shortcut, and the removal of the folders deleted shortcuts leave.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>

#include "base/com_win32.h"
#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/log_text.h"
#include "base/path_policy.h"
#include "base/program_win32.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/directories/directories.h"
#include "items/files/file_list.h"
#include "items/shortcuts/shortcuts.h"
#include "items/rollback/journal_win32.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// The system's error code inside a COM result, for its text.
uint32_t ErrorOfResult(HRESULT result) {
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) return HRESULT_CODE(result);
    return static_cast<uint32_t>(result);
}

HRESULT CreateShellLink(UniqueCom<IShellLinkA>& link) {
    void* object = nullptr;
    const HRESULT result = CreateInProcessObject(CLSID_ShellLink, __uuidof(IShellLinkA), &object);
    if (SUCCEEDED(result)) link.reset(static_cast<IShellLinkA*>(object));
    return result;
}

HRESULT PersistFileOf(IShellLinkA* link, UniqueCom<IPersistFile>& file) {
    void* object = nullptr;
    const HRESULT result = link->QueryInterface(__uuidof(IPersistFile), &object);
    if (SUCCEEDED(result)) file.reset(static_cast<IPersistFile*>(object));
    return result;
}

// Saves the link under the file name. 0, or the system's error.
uint32_t SaveLink(IShellLinkA* link, const std::string& linkFile) {
    UniqueCom<IPersistFile> file;
    HRESULT result = PersistFileOf(link, file);
    if (FAILED(result)) return ErrorOfResult(result);
    std::wstring wide;
    if (const uint32_t error = ShellPath(linkFile, wide)) return error;
    result = file.get()->Save(wide.c_str(), TRUE);
    return SUCCEEDED(result) ? 0 : ErrorOfResult(result);
}

// The target the link file points to; "" when it cannot be loaded.
std::string ReadLinkTarget(IShellLinkA* link, const std::string& linkFile) {
    UniqueCom<IPersistFile> file;
    std::wstring wide;
    if (FAILED(PersistFileOf(link, file)) || ShellPath(linkFile, wide) != 0) return {};
    if (FAILED(file.get()->Load(wide.c_str(), STGM_READ))) return {};
    std::string target(32768, '\0');
    WIN32_FIND_DATAA found;
    if (link->GetPath(target.data(), static_cast<int>(target.size()), &found, SLGP_UNCPRIORITY) != S_OK)
        return {};
    target.resize(target.find('\0'));
    return target;
}

// The target as a link can hold it: the path itself below MAX_PATH, else
// its short form where the system has one. 0, or kErrorNameTooLong.
uint32_t LinkTarget(const std::string& target, std::string& held) {
    held = target;
    if (target.size() < MAX_PATH) return 0;
    std::string shortForm;
    if (ShortPathName(target, shortForm) != 0 || shortForm.size() >= MAX_PATH) return kErrorNameTooLong;
    held = std::move(shortForm);
    return 0;
}

// Whether the target a saved link gives back is the one it was given (as
// written, by the full path both name, or with the environment's variables
// expanded, as the link object may give it).
bool SameTarget(const std::string& saved, const std::string& target) {
    if (saved.empty()) return false;
    if (EqualNoCase(saved, target)) return true;
    std::string savedFull, targetFull;
    if (FullPathName(saved, savedFull) == 0 && FullPathName(target, targetFull) == 0 &&
        EqualNoCase(savedFull, targetFull))
        return true;
    if (target.find('%') == std::string::npos) return false;
    const std::string expanded = GrowingText([&](char* buffer, size_t size) {
        const DWORD n = ExpandEnvironmentStringsA(target.c_str(), buffer, static_cast<DWORD>(size));
        return n == 0 ? 0 : n - 1 < size ? n - 1 : n;  // counted with its zero
    });
    return !expanded.empty() && expanded != target && SameTarget(saved, expanded);
}

// What the shortcut items of one step share: a failure to start COM or to
// create the link object is shown once, in a box, and fails every item.
struct LinkSession {
    bool boxShown = false;
};

ItemResult ComFailure(LinkSession& session, uint32_t error, int messageId, const std::string& linkPath) {
    ItemResult r = ItemResult::Failed(error, FormatLogMessage(error, messageId, linkPath), Report::kLog);
    if (!session.boxShown) {
        session.boxShown = true;
        ShowError(error, messageId, kBoxOk);
    }
    return r;
}

class CreateShortcut : public WorkItem {
public:
    CreateShortcut(std::string linkPath, std::string target, bool installed, bool ofTheScript,
                   std::shared_ptr<LinkSession> session)
        : linkPath_(std::move(linkPath)), target_(std::move(target)), installed_(installed),
          ofTheScript_(ofTheScript), session_(std::move(session)) {}

    PlanRow Describe() const override {
        PlanRow row{"", installed_ ? "create shortcut" : "skip shortcut", linkPath_ + ".lnk", target_};
        if (!installed_) row.reason = "target not installed by this run";
        return row;
    }

    ItemResult Do(StepContext& step) override {
        if (!installed_) return ItemResult::UpToDate();
        const ComLibrary com;
        if (FAILED(com.result())) return ComFailure(*session_, ErrorOfResult(com.result()), kMsgErrorCoInitialize, linkPath_);
        UniqueCom<IShellLinkA> link;
        if (const HRESULT result = CreateShellLink(link); FAILED(result))
            return ComFailure(*session_, ErrorOfResult(result), kMsgErrorCoCreateInstance, linkPath_);
        std::string target;
        // The shell that follows the link knows the 64-bit system folder by its
        // real name only.
        uint32_t error = LinkTarget(RealSystemPath(target_), target);
        if (error != 0)
            return ItemResult::Failed(error, FormatLogMessage(error, kMsgErrorCreatingShortcut, linkPath_ + " (" + target_ + ")"),
                                      Report::kLog);
        if (step.journal) {
            // The link it replaces is kept, or the new link noted.
            const std::string linkFile = linkPath_ + ".lnk";
            const Status kept = PathExists(linkFile) ? step.journal->MoveAside(linkFile, false)
                                                     : step.journal->NoteNewFile(linkFile);
            if (!kept.ok())
                return ItemResult::Failed(kept.code(), FormatLogMessage(kept.code(), kMsgErrorCreatingShortcut, linkPath_),
                                          Report::kLog);
        }
        // A folder that cannot be created makes the save fail, which tells.
        (void)CreateShortcutFolder(linkPath_);
        const std::string linkFile = linkPath_ + ".lnk";
        if (const HRESULT result = link.get()->SetPath(target.c_str()); FAILED(result))
            error = ErrorOfResult(result);
        else
            error = SaveLink(link.get(), linkFile);
        if (error != 0)
            return ItemResult::Failed(error, FormatLogMessage(error, kMsgErrorCreatingShortcut, linkPath_), Report::kLog);
        // The link is read back: a target it did not keep whole is a link
        // that leads nowhere, not a shortcut made.
        UniqueCom<IShellLinkA> check;
        const std::string saved = SUCCEEDED(CreateShellLink(check)) ? ReadLinkTarget(check.get(), linkFile) : std::string();
        if (!SameTarget(saved, target)) {
            (void)DeleteFileAt(linkFile);
            return ItemResult::Failed(
                0, FormatLogMessage(0, kMsgErrorCreatingShortcut, linkPath_ + ", its target reads back as \"" + saved + "\", not " + target),
                Report::kLog);
        }
        if (step.fullLog()) WriteLogText(step.log, "Shortcut " + linkPath_ + " (" + target_ + ") is created\n");
        return ItemResult::Done();
    }

    // A shortcut to a file the script installs exists and points to it
    // (whether or not this run would make it).
    Check Verify() const override {
        Check check = Checked();
        check.item = "create shortcut " + linkPath_ + ".lnk";
        return check;
    }

private:
    Check Checked() const {
        if (!ofTheScript_) return Check::NotChecked("its target is not a file the script installs");
        const std::string expected = "a shortcut to " + target_;
        DWORD attributes = 0;
        if (GetPathAttributes(linkPath_ + ".lnk", attributes) != 0) return Check::Differs(expected, "missing");
        const ComLibrary com;
        UniqueCom<IShellLinkA> link;
        if (FAILED(com.result()) || FAILED(CreateShellLink(link))) return Check::NotChecked("no shell link object");
        const std::string found = ReadLinkTarget(link.get(), linkPath_ + ".lnk");
        if (EqualNoCase(found, RealSystemPath(target_))) return Check::Matches();
        return Check::Differs(expected, found.empty() ? "a link that cannot be read" : "a shortcut to " + found);
    }

    std::string linkPath_;
    std::string target_;
    bool installed_;
    bool ofTheScript_;
    std::shared_ptr<LinkSession> session_;
};

class DeleteShortcut : public WorkItem {
public:
    explicit DeleteShortcut(std::string linkPath) : linkPath_(std::move(linkPath)) {}

    PlanRow Describe() const override { return PlanRow{"", "delete shortcut", linkPath_ + ".lnk"}; }

    ItemResult Do(StepContext& step) override {
        const std::string linkFile = linkPath_ + ".lnk";
        // The link's target is only told in the full log; deleting the file
        // needs no COM.
        std::string target;
        if (step.fullLog()) {
            const ComLibrary com;
            UniqueCom<IShellLinkA> link;
            if (SUCCEEDED(com.result()) && SUCCEEDED(CreateShellLink(link))) target = ReadLinkTarget(link.get(), linkFile);
        }
        const uint32_t error = step.journal ? step.journal->MoveAside(linkFile, false).code() : DeleteFileAt(linkFile);
        if (error != 0) {
            // A link already gone is up to date; the full log still tells it.
            const std::string text = FormatLogMessage(error, kMsgErrorDeletingShortcut, linkPath_);
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                return ItemResult::Failed(error, text, step.fullLog() ? Report::kLog : Report::kNone);
            if (step.fullLog()) WriteLogText(step.log, text);
            return ItemResult::UpToDate();
        }
        if (step.fullLog()) WriteLogText(step.log, "Shortcut " + linkPath_ + " (" + target + ") is deleted\n");
        return ItemResult::Done();
    }

    Check Verify() const override {
        DWORD attributes = 0;
        return Check::Absent(GetPathAttributes(linkPath_ + ".lnk", attributes) == 0);
    }

private:
    std::string linkPath_;
};

// The folder a deleted shortcut leaves: removed when nothing else is in it.
class RemoveShortcutFolderItem : public WorkItem {
public:
    explicit RemoveShortcutFolderItem(std::string folder) : folder_(std::move(folder)) {}

    PlanRow Describe() const override {
        PlanRow row{"", "remove folder", folder_};
        row.reason = "when empty";
        return row;
    }

    ItemResult Do(StepContext& step) override {
        if (step.journal) {
            bool empty = true;
            if (ListFolder(folder_, [&empty](const std::string&, DWORD) { empty = false; }) != 0 || !empty)
                return ItemResult::UpToDate();  // gone already, or it holds other things
            if (const Status noted = step.journal->Record({journal::kFolderGone, {folder_}}); !noted.ok())
                return ItemResult::Failed(noted.code(), JournalFailureText(noted.code()), Report::kLog);
        }
        const uint32_t error = RemoveFolder(folder_);
        if (error == 0) return ItemResult::Done();
        // Gone already, or it holds other things: nothing to do.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIR_NOT_EMPTY)
            return ItemResult::UpToDate();
        return ItemResult::Failed(error, FormatLogMessage(error, kMsgErrorDeletingDirectory, folder_), Report::kLog);
    }

    // Only an empty folder is removed: one that holds something stays rightly.
    Check Verify() const override {
        bool present = false, empty = true;
        const uint32_t listed = ListFolder(folder_, [&](const std::string&, DWORD) { empty = false; });
        present = listed == 0;
        return Check::Absent(present && empty, "present and empty");
    }

private:
    std::string folder_;
};

}  // namespace

uint32_t CreateShortcutFolder(const std::string& shortcutPath) {
    const size_t slash = FindLastBackslash(shortcutPath, &IsSystemLeadByte);
    if (slash == std::string::npos) return 0;
    return CreateFolderIfMissing(shortcutPath.substr(0, slash));
}

void AddShortcutCreations(const ShortcutList& list, const FileList& files, WorkItems& items) {
    auto session = std::make_shared<LinkSession>();
    for (size_t i = 0; i < list.linkPaths.size(); ++i) {
        const std::string& target = list.targetPaths[i];
        bool ofTheScript = false;
        for (const FileItem& it : files.items) ofTheScript = ofTheScript || (!it.deleteItem && it.targetPath == target);
        items.push_back(std::make_unique<CreateShortcut>(list.linkPaths[i], target,
                                                         IsInstalledTarget(files, target) != 0, ofTheScript, session));
    }
}

void AddShortcutDeletions(const DeleteShortcutList& list, WorkItems& items) {
    for (const std::string& path : list.linkPaths) items.push_back(std::make_unique<DeleteShortcut>(path));
}

void AddShortcutFolderRemovals(const DeleteShortcutList& list, const VariableTable& variables, WorkItems& items) {
    std::vector<std::string> seen;
    for (const std::string& path : list.linkPaths) {
        const std::string folder = ShortcutFolder(path);
        if (folder.empty() || variables.IsPredefinedFolder(folder + "\\")) continue;
        bool again = false;
        for (const std::string& s : seen) again = again || EqualNoCase(s, folder);
        if (again) continue;  // one removal per folder
        seen.push_back(folder);
        items.push_back(std::make_unique<RemoveShortcutFolderItem>(folder));
    }
}

}  // namespace dp
