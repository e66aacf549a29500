#pragma once
// Operations on single files for the install and end phases.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/log_level.h"

namespace dp {

// Copies a package file onto its target (replacing a file in use at the next
// reboot). Returns the system error code of the copy: 0 copied (or an empty
// source), 112 disk full, anything else a failure. Sets scheduled to 1 when
// the replacement waits for the next reboot; what to log or show about that
// is the caller's. Windows only.
uint32_t CopyPackageFile(const std::string& source, const std::string& target, int32_t& scheduled);
// Creates the last missing folder level of a target path.
void CreateTargetFolder(const std::string& targetPath);
// Deletes an installed file (a COM server among them was unregistered before,
// by UnregisterDeletedComServers). 0 deleted or scheduled for the reboot
// (rebootRequired set), or 2 / 3.
uint32_t RemoveInstalledFile(const std::string& path, int32_t& rebootRequired);
// Schedules the deletion of a file at the next reboot. 1 scheduled, 0 not.
int DeleteAtReboot(const std::string& path);
// Clears the read-only and archive attributes, keeping the others.
void ClearReadOnlyAndArchive(const std::string& path);
// Deletes the listed files ([DeleteFilesEnd]), logging each. Always 1.
int DeleteListedFiles(const std::vector<std::string>& paths, std::FILE* log, LogLevel logLevel);

}  // namespace dp
