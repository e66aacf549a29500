// Creating and deleting the directories of [CreateDirectory] and
// [DeleteDirectory], and removing the folders of deleted shortcuts.
#include <windows.h>

#include <utility>

#include "base/file_system_win32.h"
#include "base/log_text.h"
#include "base/program_win32.h"
#include "items/directories.h"
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

void CreateDirectoryPath(const std::string& path) {
    for (size_t length : DirectoryLevelLengths(path)) CreateFolderIfMissing(path.substr(0, length));
}

int DeleteDirectoryTree(const std::string& directory) {
    DWORD attributes = 0;
    if (GetPathAttributes(directory, attributes) != 0) return 0;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return RemoveFolder(directory) == 0 ? 1 : 0;  // the link, never what it points to

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
    auto enter = [&levels](std::string path) {
        std::vector<std::pair<std::string, DWORD>> entries;
        if (ListFolder(path, [&entries](const std::string& name, DWORD attrs) { entries.emplace_back(name, attrs); }) != 0)
            return false;
        Level level{std::move(path), {}, 0};
        for (const auto& [name, attrs] : entries) {
            const std::string full = level.path + "\\" + name;
            if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileAt(full);  // a read-only file stays
            else if (attrs & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveFolder(full);
            else
                level.subfolders.push_back(name);
        }
        levels.push_back(std::move(level));
        return true;
    };

    if (!enter(directory)) return 0;
    for (;;) {
        Level& deepest = levels.back();
        if (deepest.next < deepest.subfolders.size()) {
            enter(deepest.path + "\\" + deepest.subfolders[deepest.next++]);  // one that cannot be listed stays
            continue;
        }
        const bool removed = RemoveFolder(deepest.path) == 0;
        levels.pop_back();
        if (levels.empty()) return removed ? 1 : 0;
    }
}

bool IsDeletionRefused(const std::string& path, const VariableTable& variables) {
    return IsRefused(path, SystemProtectedFolders(variables));
}

int CreateListedDirectories(DirectoryList& list, StepContext& step) {
    for (size_t i = 0; i < list.paths.size(); ++i) {
        if (step.isCancelled()) return 1;
        if (!list.isDelete[i]) CreateDirectoryPath(list.paths[i]);
    }
    return 1;
}

int DeleteListedDirectories(DirectoryList& list, StepContext& step) {
    ProtectedFolders protectedFolders;
    bool known = false;
    for (size_t i = 0; i < list.paths.size(); ++i) {
        if (step.isCancelled()) return 1;
        const std::string& path = list.paths[i];
        // An empty path would stand for the current drive's root.
        if (!list.isDelete[i] || path.empty()) continue;
        if (!known) {
            protectedFolders = SystemProtectedFolders(step.variables);
            known = true;
        }
        if (IsRefused(path, protectedFolders)) {
            step.LogMessage(0, kMsgProtectedDirectory, path);
            continue;
        }
        DeleteDirectoryTree(path);
    }
    return 1;
}

void RemoveShortcutFolder(const std::string& shortcutPath, const VariableTable& variables) {
    const std::string folder = ShortcutFolder(shortcutPath);
    if (folder.empty() || variables.IsPredefinedFolder(folder + "\\")) return;
    RemoveFolder(folder);
}

}  // namespace dp
