#pragma once
// Font files of the file list: made known to the system after copying, and
// removed from it before deletion.
#include "items/step_context.h"

namespace dp {

// Every marked font install item of step.files. Always 1.
int InstallFonts(StepContext& step);
// Every marked font delete item of step.files. Always 1.
int RemoveFonts(StepContext& step);

}  // namespace dp
