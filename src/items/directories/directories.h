#pragma once
// [CreateDirectory], [DeleteDirectory], [DeleteFilesEnd], and the folders of
// deleted shortcuts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/reporting_base.h"
#include "base/status.h"
#include "items/work/work_item.h"

namespace dp {

inline constexpr char kCreateDirectorySection[] = "[CreateDirectory]";
inline constexpr char kDeleteDirectorySection[] = "[DeleteDirectory]";
inline constexpr char kDeleteFilesEndSection[] = "[DeleteFilesEnd]";

class VariableTable;

// [CreateDirectory] and [DeleteDirectory], in one list: all entries of the
// first, then all of the second, in the order of their lines.
class DirectoryList {
public:
    virtual ~DirectoryList() = default;
    int32_t count() const { return static_cast<int32_t>(paths.size()); }

    std::vector<std::string> paths;   // trimmed, variables expanded; a delete entry without its final backslash
    std::vector<uint8_t> isDelete;    // 1: [DeleteDirectory]; 0: [CreateDirectory]
};

// [DeleteFilesEnd]: files deleted at the end of the run. A line without any
// backslash names a file in the program's directory.
class EndFileList : public ReportingBase {
public:
    ~EndFileList() override = default;
    std::vector<std::string> paths;
};

// Appends one entry per line of [CreateDirectory] (isDelete 0) or
// [DeleteDirectory] (isDelete 1). Always 1.
int ParseDirectorySection(DirectoryList& list, const std::string& section, int isDelete,
                          VariableTable& variables);
// Appends one path per line of [DeleteFilesEnd]. 1, or 0 after a confirmed Stop.
int ParseDeleteFilesEnd(EndFileList& list, const std::string& section, VariableTable& variables);

// A work item per [CreateDirectory] entry: the folder with its missing
// parents (done when it had to be made, up to date when it was there, failed
// with a log line when it cannot be made). Windows only.
void AddDirectoryCreations(const DirectoryList& list, WorkItems& items);
// A work item per non-empty [DeleteDirectory] entry: the folder with its
// contents (up to date when gone already, failed with a log line when it
// stays); a protected one (IsDeletionRefused) is refused with its log line.
// Windows only.
void AddDirectoryDeletions(const DirectoryList& list, const VariableTable& variables, WorkItems& items);

// Creates the directories of the path that are followed by a backslash, each
// when missing, going on after a level that fails; the first failure's code.
// Windows only.
Status CreateDirectoryPath(const std::string& path);
// Deletes the directory's files and subdirectories, then the directory. An
// entry that is a link to elsewhere (a junction, a symbolic link: a reparse
// point) is removed as a link; what it points to is never entered. Success
// when the directory itself is gone; else the code of the first thing that
// could not be deleted (2 or 3 when the directory was not there). Windows only.
Status DeleteDirectoryTree(const std::string& directory);
// Whether [DeleteDirectory] refuses the path on this system (see
// IsProtectedDirectory), the predefined folders taken from the variables.
// Windows only.
bool IsDeletionRefused(const std::string& path, const VariableTable& variables);

// --- The decisions behind them --------------------------------------------

// The lengths of the leading parts of the path that CreateDirectoryPath
// creates, in order: the text before each backslash after the first one
// (parts with an empty last name, from doubled backslashes, left out).
std::vector<size_t> DirectoryLevelLengths(std::string_view path);

// The folder RemoveShortcutFolder would remove: the text before the last
// backslash, when the path has at least two; else "".
std::string ShortcutFolder(const std::string& shortcutPath);

// Folders that [DeleteDirectory] never deletes.
struct ProtectedFolders {
    std::vector<std::string> trees;       // never deleted, nor anything inside them or above them
    std::vector<std::string> folders;     // never deleted, nor any folder above them
    std::vector<std::string> containers;  // none of the folders directly in these either
};
// Whether a full path must not be deleted: a path that is not a full path, a
// drive root or a share ("\\server\share"); a folder at, inside or above one
// of the trees (the Windows folder), or inside a system folder of any drive
// ($Recycle.Bin, System Volume Information, Recovery, Boot, Config.Msi,
// Documents and Settings, PerfLogs, ...: the list in directories.cpp); one of the
// protected folders or a folder above one; a folder directly in a container.
// Any other folder may go, a plain top-level one such as C:\OldApp too.
// Paths are compared without regard to case, with "/" read as "\", "." and
// ".." applied, empty names and trailing dots and blanks of names dropped (as
// the system reads them).
bool IsProtectedDirectory(std::string_view fullPath, const ProtectedFolders& protectedFolders);

}  // namespace dp
