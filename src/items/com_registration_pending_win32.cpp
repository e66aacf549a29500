// Placeholder until COM registration and the after-reboot lists are written
// (that change replaces this file): registers nothing and records nothing in
// the registry.
#include "items/com_registration.h"

namespace dp {

int UnregisterDeletedComServers(StepContext&) { return 1; }
int SaveComRegList(StepContext&) { return 1; }
int SaveCopyFileList(StepContext&) { return 1; }
int FinishCopiedFiles(StepContext&) { return 1; }
int RegisterSavedComServers(StepContext&) { return 1; }

}  // namespace dp
