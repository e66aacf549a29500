// Reading [CreateDirectory], [DeleteDirectory] and [DeleteFilesEnd], and the
// rules the directory operations follow.
#include "items/directories/directories.h"

#include <algorithm>

#include "base/reading_watch.h"
#include "base/run_flags.h"
#include "base/text.h"
#include "items/files/update_rule.h"
#include "script/script_text.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// A full path as the system reads it: its root ("C:" or "\\server\share")
// and the names of the folders below the root.
struct PathLevels {
    std::string root;
    std::vector<std::string_view> names;
};

// Folders the system keeps at the top of a drive, whatever the drive: never
// deleted, nor anything inside them.
constexpr std::string_view kSystemFolderNames[] = {
    "$Recycle.Bin", "RECYCLER", "RECYCLED", "System Volume Information", "Recovery", "Boot",
    "Config.Msi", "Documents and Settings", "PerfLogs", "$WinREAgent", "$Windows.~BT", "$Windows.~WS",
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// False when the text is not a full path (relative, drive-relative, a bare
// server, a device or volume name). The names point into `slashed`.
bool ReadLevels(std::string_view text, std::string& slashed, PathLevels& out) {
    // The system's namespace prefixes: \\?\UNC\server\share, \\?\C:\, \??\C:\, \\.\C:\ (any slashes).
    std::string head(text.substr(0, 8));
    for (char& c : head)
        if (c == '/') c = '\\';
    if (EqualNoCase(head, "\\\\?\\UNC\\"))
        slashed = "\\\\" + std::string(text.substr(8));
    else if (head.starts_with("\\\\?\\") || head.starts_with("\\??\\") || head.starts_with("\\\\.\\"))
        slashed.assign(text.substr(4));
    else
        slashed.assign(text);
    for (char& c : slashed)
        if (c == '/') c = '\\';
    const std::string_view path = slashed;

    std::string_view rest;
    if (path.size() >= 2 && IsLetter(path[0]) && path[1] == ':') {
        rest = path.substr(2);
        if (!rest.empty() && rest[0] != '\\') return false;  // "C:name": from the drive's current folder
        out.root.assign(path.substr(0, 2));
    } else if (path.starts_with("\\\\")) {
        const size_t server = path.find('\\', 2);
        if (server == std::string_view::npos || server == 2) return false;
        size_t share = path.find('\\', server + 1);
        if (share == std::string_view::npos) share = path.size();
        if (share == server + 1) return false;
        out.root.assign(path.substr(0, share));
        rest = path.substr(share);
    } else {
        return false;
    }

    while (!rest.empty()) {
        rest.remove_prefix(1);  // the backslash before the name
        const size_t end = std::min(rest.find('\\'), rest.size());
        std::string_view name = rest.substr(0, end);
        rest.remove_prefix(end);
        if (name == "..") {
            if (!out.names.empty()) out.names.pop_back();
            continue;
        }
        name = name.substr(0, name.find(':'));  // "name::$INDEX_ALLOCATION" is the folder itself
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
        if (!name.empty()) out.names.push_back(name);
    }
    return true;
}

}  // namespace

int ParseDirectorySection(DirectoryList& list, const std::string& section, int isDelete,
                          VariableTable& variables) {
    if (section.empty()) return 1;
    const std::vector<std::string_view> lines = SplitLines(section);
    list.paths.reserve(list.paths.size() + lines.size());
    list.isDelete.reserve(list.isDelete.size() + lines.size());
    for (std::string_view line : lines) {
        NoteSectionLine(line);
        std::string path(line);
        VariableTrim(path);
        variables.ExpandVariables(path, false);  // an undefined name was reported
        if (isDelete && !path.empty() && path.back() == '\\') path.pop_back();
        list.paths.push_back(std::move(path));
        list.isDelete.push_back(isDelete ? 1 : 0);
    }
    return 1;
}

int ParseDeleteFilesEnd(EndFileList& list, const std::string& section, VariableTable& variables) {
    int32_t stop = stopRequested.load();
    if (section.empty()) return stop == 1 ? 0 : 1;

    SectionWalk walk(list, section);
    list.paths.reserve(list.paths.size() + walk.lines().size());
    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        std::string path(line);
        VariableTrim(path);
        if (!walk.Next(path)) break;
        variables.ExpandVariables(path, false);  // an undefined name was reported
        list.paths.push_back(CompleteFilePath(path, variables.programDirectory));
    }
    return walk.Finish();
}

std::vector<size_t> DirectoryLevelLengths(std::string_view path) {
    std::vector<size_t> lengths;
    const size_t first = path.find('\\');
    if (first == std::string_view::npos) return lengths;
    for (size_t at = path.find('\\', first + 1); at != std::string_view::npos; at = path.find('\\', at + 1))
        if (path[at - 1] != '\\') lengths.push_back(at);
    return lengths;
}

std::string ShortcutFolder(const std::string& shortcutPath) {
    const size_t first = shortcutPath.find('\\');
    const size_t last = shortcutPath.rfind('\\');
    if (first == std::string::npos || last == first) return std::string();
    return shortcutPath.substr(0, last);
}

bool IsProtectedDirectory(std::string_view fullPath, const ProtectedFolders& protectedFolders) {
    std::string text;
    PathLevels path;
    if (!ReadLevels(fullPath, text, path) || path.names.empty()) return true;
    for (std::string_view name : kSystemFolderNames)
        if (EqualNoCase(path.names[0], name)) return true;

    // Whether `inner` lies in `outer` (or is it), compared name by name.
    auto within = [](const PathLevels& inner, const PathLevels& outer) {
        if (!EqualNoCase(inner.root, outer.root) || inner.names.size() < outer.names.size()) return false;
        for (size_t i = 0; i < outer.names.size(); ++i)
            if (!EqualNoCase(inner.names[i], outer.names[i])) return false;
        return true;
    };
    std::string otherText;
    for (const std::string& tree : protectedFolders.trees) {
        PathLevels other;
        if (ReadLevels(tree, otherText, other) && (within(path, other) || within(other, path))) return true;
    }
    for (const std::string& folder : protectedFolders.folders) {
        PathLevels other;
        if (ReadLevels(folder, otherText, other) && within(other, path)) return true;
    }
    for (const std::string& container : protectedFolders.containers) {
        PathLevels other;
        if (ReadLevels(container, otherText, other) && path.names.size() == other.names.size() + 1 &&
            within(path, other))
            return true;
    }
    return false;
}

}  // namespace dp
