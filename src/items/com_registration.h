#pragma once
// COM servers of the file list, and what the install phase leaves for the end
// phase (possibly after a reboot) in the registry: the servers to register
// (ComReg), the installed files (CopyFileList) and the RunOnce start.
#include <string>

#include "items/step_context.h"

namespace dp {

// Unregisters the COM servers among the marked delete items of step.files. 1.
int UnregisterDeletedComServers(StepContext& step);
// Rewrite the ComReg and CopyFileList lists from step.files. 1, or 0 when a
// key cannot be opened.
int SaveComRegList(StepContext& step);
int SaveCopyFileList(StepContext& step);
// Clears the read-only and archive attributes of every file in CopyFileList.
int FinishCopiedFiles(StepContext& step);
// Registers the servers of ComReg, then deletes ComReg.
int RegisterSavedComServers(StepContext& step);

}  // namespace dp
