// Placeholder until COM registration and the after-reboot lists are written
// (that change replaces this file): registers nothing and records nothing in
// the registry. RegisterRunOnce belongs to the driver's change.
#include "items/com_registration.h"

namespace dp {

int UnregisterDeletedComServers(FileList&, std::FILE*, int) { return 1; }
int SaveComRegList(InstallContext&) { return 1; }
int SaveCopyFileList(InstallContext&) { return 1; }
int FinishCopiedFiles(InstallContext&, std::FILE*) { return 1; }
int RegisterSavedComServers(InstallContext&, std::FILE*) { return 1; }

}  // namespace dp
