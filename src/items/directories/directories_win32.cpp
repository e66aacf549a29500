// Creating and deleting the directories of [CreateDirectory] and
// [DeleteDirectory], and removing the folders of deleted shortcuts.
#include <windows.h>

#include <utility>

#include "base/file_system_win32.h"
#include "base/log_text.h"
#include "base/status.h"
#include "base/program_win32.h"
#include "items/directories/directories.h"
#include "items/rollback/journal_win32.h"
#include "log/error_messages.h"
#include "resources/message_ids.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// The full, long form of a path; the path itself when the system cannot give one.
std::string FullPathOrSame(const std::string& path) {
    std::string full;
    return FullPathName(path, full) == 0 ? full : path;
}

std::string ParentOf(const std::string& folder) {
    std::string path = folder;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The Windows folder as the system names it for every user (on a terminal
// server the per-user one differs); "" when there is no such call.
std::string SystemWindowsDirectory() {
    using Get = UINT(WINAPI*)(LPSTR, UINT);
    const Get get = ProcAddress<Get>(GetModuleHandleA("kernel32.dll"), "GetSystemWindowsDirectoryA");
    if (!get) return std::string();
    return GrowingText([get](char* buffer, size_t size) { return get(buffer, static_cast<UINT>(size)); });
}

// The folders of this system that [DeleteDirectory] leaves alone: the
// Windows folder with all it holds, the predefined folders, the program
// files folders, the user profiles and the folder that holds them.
ProtectedFolders SystemProtectedFolders(const VariableTable& variables) {
    ProtectedFolders result;
    for (const std::string& windows : {WindowsDirectory(), SystemWindowsDirectory(), SystemDirectory(),
                                       EnvironmentText("SystemRoot"), EnvironmentText("windir")})
        result.trees.push_back(windows);
    std::vector<std::string>& folders = result.folders;
    for (int i = 0; i < kPredefinedCount && i < variables.count(); ++i) folders.push_back(variables.values[i]);
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "CommonProgramFiles",
                             "CommonProgramFiles(x86)", "CommonProgramW6432", "ProgramData", "ALLUSERSPROFILE",
                             "PUBLIC", "USERPROFILE"})
        folders.push_back(EnvironmentText(name));

    const std::string profiles = ProfileFolder("GetProfilesDirectoryA");
    const std::string user = UserProfileDirectory();
    folders.push_back(profiles);
    folders.push_back(user);
    folders.push_back(ProfileFolder("GetAllUsersProfileDirectoryA"));
    folders.push_back(ProfileFolder("GetDefaultUserProfileDirectoryA"));
    // Every user's profile is a folder in the profiles folder.
    result.containers.push_back(profiles);
    result.containers.push_back(ParentOf(user));
    result.containers.push_back(ParentOf(EnvironmentText("USERPROFILE")));

    // Each by its full path and by the path its links lead to.
    for (std::vector<std::string>* list : {&result.trees, &result.folders, &result.containers}) {
        std::vector<std::string> forms;
        for (const std::string& folder : *list) {
            if (folder.empty()) continue;
            forms.push_back(FullPathOrSame(folder));
            std::string final;
            if (FinalPathName(folder, final) == 0) forms.push_back(std::move(final));
        }
        *list = std::move(forms);
    }
    return result;
}

// Refused by its full path, or by the path it finally leads to through links
// (a folder reached through a junction is the folder itself).
bool IsRefused(const std::string& path, const ProtectedFolders& protectedFolders) {
    if (IsProtectedDirectory(FullPathOrSame(path), protectedFolders)) return true;
    std::string final;
    return FinalPathName(path, final) == 0 && IsProtectedDirectory(final, protectedFolders);
}

}  // namespace

Status CreateDirectoryPath(const std::string& path) {
    Status first;
    for (size_t length : DirectoryLevelLengths(path)) {
        const Status status(CreateFolderIfMissing(path.substr(0, length)));
        if (first.ok() && !status.ok()) first = status;
    }
    return first;
}

Status DeleteDirectoryTree(const std::string& directory) {
    DWORD attributes = 0;
    if (const uint32_t error = GetPathAttributes(directory, attributes)) return Status(error);
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Status(RemoveFolder(directory));  // the link, never what it points to

    // The first thing that could not be deleted tells why the folder stays.
    uint32_t firstError = 0;
    auto note = [&firstError](uint32_t error) {
        if (firstError == 0) firstError = error;
    };
    // Depth first without recursion (a deep tree must not exhaust the stack):
    // each level keeps the names of its subfolders still to be deleted.
    struct Level {
        std::string path;
        std::vector<std::string> subfolders;
        size_t next = 0;
    };
    std::vector<Level> levels;
    // Lists a folder, deletes its files and links, and makes it the deepest
    // level. False when it cannot be listed.
    auto enter = [&levels, &note](std::string path) {
        std::vector<std::pair<std::string, DWORD>> entries;
        if (const uint32_t error =
                ListFolder(path, [&entries](const std::string& name, DWORD attrs) { entries.emplace_back(name, attrs); })) {
            note(error);
            return false;
        }
        Level level{std::move(path), {}, 0};
        for (const auto& [name, attrs] : entries) {
            const std::string full = level.path + "\\" + name;
            if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
                note(DeleteFileAt(full));  // a read-only or held file stays
            else if (attrs & FILE_ATTRIBUTE_REPARSE_POINT)
                note(RemoveFolder(full));
            else
                level.subfolders.push_back(name);
        }
        levels.push_back(std::move(level));
        return true;
    };

    if (!enter(directory)) return Status(firstError);
    for (;;) {
        Level& deepest = levels.back();
        if (deepest.next < deepest.subfolders.size()) {
            enter(deepest.path + "\\" + deepest.subfolders[deepest.next++]);  // one that cannot be listed stays
            continue;
        }
        const uint32_t removeError = RemoveFolder(deepest.path);
        if (levels.size() > 1) note(removeError);
        levels.pop_back();
        if (levels.empty()) return Status(removeError == 0 ? 0 : firstError != 0 ? firstError : removeError);
    }
}

bool IsDeletionRefused(const std::string& path, const VariableTable& variables) {
    return IsRefused(path, SystemProtectedFolders(variables));
}

namespace {

bool IsFolder(const std::string& path) {
    DWORD attributes = 0;
    return GetPathAttributes(path, attributes) == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A [CreateDirectory] line: each level of the path that a backslash follows.
class CreateDirectoryItem : public WorkItem {
public:
    explicit CreateDirectoryItem(std::string path) : path_(std::move(path)) {}

    PlanRow Describe() const override { return PlanRow{"", "create directory", path_}; }

    ItemResult Do(StepContext& step) override {
        const std::vector<size_t> levels = DirectoryLevelLengths(path_);
        if (levels.empty()) return ItemResult::UpToDate();  // nothing the line asks for
        const std::string deepest = path_.substr(0, levels.back());
        if (IsFolder(deepest)) return ItemResult::UpToDate();
        if (step.journal) {
            if (const Status noted = step.journal->NoteNewFolders(deepest); !noted.ok())
                return ItemResult::Failed(noted.code(), FormatLogMessage(noted.code(), kMsgErrorCreatingDirectory, path_),
                                          Report::kLog);
        }
        const Status status = CreateDirectoryPath(path_);
        if (IsFolder(deepest)) return ItemResult::Done();
        const uint32_t code = status.ok() ? ERROR_PATH_NOT_FOUND : status.code();
        return ItemResult::Failed(code, FormatLogMessage(code, kMsgErrorCreatingDirectory, path_), Report::kLog);
    }

    Check Verify() const override {
        const std::vector<size_t> levels = DirectoryLevelLengths(path_);
        if (levels.empty() || IsFolder(path_.substr(0, levels.back()))) return Check::Matches();
        return Check::Differs("a folder", "missing");
    }

private:
    std::string path_;
};

// A [DeleteDirectory] line: the folder with everything in it, unless a rule
// protects it.
class DeleteDirectoryItem : public WorkItem {
public:
    DeleteDirectoryItem(std::string path, bool refused) : path_(std::move(path)), refused_(refused) {}

    PlanRow Describe() const override {
        PlanRow row{"", "delete directory", path_};
        if (refused_) row.reason = "refused: a system or predefined folder";
        return row;
    }

    ItemResult Do(StepContext& step) override {
        if (refused_) return ItemResult::Refused(FormatLogMessage(0, kMsgProtectedDirectory, path_));
        // A transactional run moves the folder aside whole: all or nothing.
        const Status status = !step.journal ? DeleteDirectoryTree(path_)
                              : IsFolder(path_) ? step.journal->MoveAside(path_, true)
                                                : Status(ERROR_PATH_NOT_FOUND);
        if (status.ok()) return ItemResult::Done();
        if (status.notFound()) return ItemResult::UpToDate();  // already gone
        return ItemResult::Failed(status.code(), FormatLogMessage(status.code(), kMsgErrorDeletingDirectory, path_),
                                  Report::kLog);
    }

    Check Verify() const override {
        if (refused_) return Check::NotChecked("refused: a system or predefined folder");
        DWORD attributes = 0;
        return Check::Absent(GetPathAttributes(path_, attributes) == 0);
    }

private:
    std::string path_;
    bool refused_;
};

}  // namespace

void AddDirectoryCreations(const DirectoryList& list, WorkItems& items) {
    for (size_t i = 0; i < list.paths.size(); ++i)
        if (!list.isDelete[i]) items.push_back(std::make_unique<CreateDirectoryItem>(list.paths[i]));
}

void AddDirectoryDeletions(const DirectoryList& list, const VariableTable& variables, WorkItems& items) {
    ProtectedFolders protectedFolders;
    bool known = false;
    for (size_t i = 0; i < list.paths.size(); ++i) {
        const std::string& path = list.paths[i];
        // An empty path would stand for the current drive's root: no item.
        if (!list.isDelete[i] || path.empty()) continue;
        if (!known) {
            protectedFolders = SystemProtectedFolders(variables);
            known = true;
        }
        items.push_back(std::make_unique<DeleteDirectoryItem>(path, IsRefused(path, protectedFolders)));
    }
}

}  // namespace dp
