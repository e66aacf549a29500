#pragma once
// COM servers of the file list, and what the install phase leaves for the end
// phase (possibly after a reboot) in the registry: the servers to register
// (ComReg), the installed files (CopyFileList) and the RunOnce start.
#include <cstdio>

namespace dp {

class FileList;
class InstallContext;

// Unregisters the COM servers among the marked delete items. 1.
int UnregisterDeletedComServers(FileList& files, std::FILE* log, int logLevel);
// Rewrite the ComReg and CopyFileList lists. 1, or 0 when a key cannot be opened.
int SaveComRegList(InstallContext& context);
int SaveCopyFileList(InstallContext& context);
// Registers the program to run once at the next start of the system with
// -AFTERREBOOT added to its command line.
void RegisterRunOnce(InstallContext& context);
// Clears the read-only and archive attributes of every file in CopyFileList.
int FinishCopiedFiles(InstallContext& context, std::FILE* log);
// Registers the servers of ComReg, then deletes ComReg.
int RegisterSavedComServers(InstallContext& context, std::FILE* log);

}  // namespace dp
