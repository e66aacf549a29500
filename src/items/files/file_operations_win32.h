#pragma once
// The parts of the file operations that tests reach directly.
#include <functional>
#include <string>

namespace dp {

// Puts the temporary copy of a package file in its target's place at the
// next reboot, for a target in use (ReplaceAtReboot by default). 1 when
// scheduled.
using RebootReplacementFunction =
    std::function<int(const std::string& temporary, const std::string& target)>;
// Replaces the function (an empty one restores ReplaceAtReboot); returns the
// previous one.
RebootReplacementFunction SetRebootReplacementFunction(RebootReplacementFunction function);
// The system's list of renames at the next reboot (MoveFileEx with
// delay-until-reboot and replace-existing); on the 9x family, where that
// fails, a "target=temporary" line in WinInit.Ini's [Rename] section, with
// short names. 1 scheduled, 0 not.
int ReplaceAtReboot(const std::string& temporary, const std::string& target);

// The scheduling of a deletion at the next reboot used by RemoveInstalledFile
// (DeleteAtReboot by default). Returns 1 when scheduled.
using RebootDeletionFunction = std::function<int(const std::string& path)>;
// Replaces the function (an empty one restores DeleteAtReboot); returns the
// previous one.
RebootDeletionFunction SetRebootDeletionFunction(RebootDeletionFunction function);

// "WinInit.Ini" in the Windows directory.
std::string WinInitPath();
// Puts "NUL=path" first in the [Rename] section of the ini file (created when
// missing), editing it through a file mapping. 1 done; 0 when the file cannot
// be opened or mapped (it is then left at its old size).
int AddRenameDeletion(const std::string& iniPath, const std::string& path);
// The same with a line of the caller's (RenameLine of wininit_edit.h).
int AddRenameEntry(const std::string& iniPath, const std::string& line);

}  // namespace dp
