#pragma once
// Operations on single files for the install and end phases.
#include <cstdint>
#include <cstdio>
#include <string>

namespace dp {

class EndFileList;

// Copies a package file onto its target (replacing a file in use at the next
// reboot). Returns the system error code of the copy: 0 copied (or an empty
// source), 112 disk full, anything else a failure. Sets rebootRequired to 1
// when the replacement was scheduled for the next reboot. Windows only.
uint32_t CopyPackageFile(const std::string& source, const std::string& target, std::FILE* log,
                         int32_t& rebootRequired);
// Creates the last missing folder level of a target path.
void CreateTargetFolder(const std::string& targetPath);
// Deletes an installed file (unregistering a COM server first). 0 deleted or
// scheduled for the reboot (rebootRequired set), or 2 / 3.
uint32_t RemoveInstalledFile(const std::string& path, int registerFile, int32_t& rebootRequired);
// Schedules the deletion of a file at the next reboot. 1 scheduled, 0 not.
int DeleteAtReboot(const std::string& path);
// Clears the read-only and archive attributes, keeping the others.
void ClearReadOnlyAndArchive(const std::string& path);
// Deletes the [DeleteFilesEnd] files, logging each. Always 1.
int DeleteListedFiles(const EndFileList& list, std::FILE* log, int logLevel);

}  // namespace dp
