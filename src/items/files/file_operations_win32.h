#pragma once
// The parts of the file operations that tests reach directly.
#include <functional>
#include <string>

namespace dp {

// The setup library's copy that replaces a target in use at the next reboot
// (SetupInstallFileExA, copy style 0x340). Returns whether the target was in
// use. Its own result is not used.
using InUseCopyFunction = std::function<bool(const std::string& source, const std::string& target)>;
// Replaces the function (an empty one restores the setup library's); returns
// the previous one.
InUseCopyFunction SetInUseCopyFunction(InUseCopyFunction function);

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

}  // namespace dp
