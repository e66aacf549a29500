// Placeholder until the shortcuts are written (that change replaces this file):
// the sections are read over; no shortcut is deleted or created.
#include "items/shortcuts.h"

namespace dp {

int ParseInstallShortcuts(ShortcutList&, const std::string&, VariableTable&) { return 1; }
int ParseDeleteShortcuts(DeleteShortcutList&, const std::string&, VariableTable&) { return 1; }
int DeleteShortcuts(DeleteShortcutList&, StepContext&) { return 1; }
int CreateShortcuts(ShortcutList&, StepContext&) { return 1; }

}  // namespace dp
