// Placeholder until the font operations are written (that change replaces this
// file): font items are copied and deleted as plain files, and nothing more.
#include "items/fonts.h"

namespace dp {

int InstallFonts(StepContext&) { return 1; }
int RemoveFonts(StepContext&) { return 1; }

}  // namespace dp
