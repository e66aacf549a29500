#pragma once
// Registry calls the families share.
#include <windows.h>

#include <string>

#include "base/handles_win32.h"
#include "base/status.h"

namespace dp {

// Opens the subkey of `parent` with `access`, creating it and whatever is
// missing above it first. The system's real error when it cannot: a key that
// exists but is closed to this access is not mistaken for a missing one.
Status CreateAndOpenKey(HKEY parent, const std::string& subkey, REGSAM access, UniqueKey& key);

// Deletes the subkey with everything below it. `view` is 0 (the process's
// own view, through the shell's deletion) or KEY_WOW64_64KEY /
// KEY_WOW64_32KEY, which every open and deletion of the tree then names.
// The system's code (ERROR_SUCCESS when deleted).
LONG DeleteKeyTree(HKEY root, const std::string& subkey, REGSAM view);
// Deletes the subkey when it has no subkeys of its own (its values are the
// caller's to look at first), in the view as above.
LONG DeleteKeyWithoutSubkeys(HKEY root, const std::string& subkey, REGSAM view);

}  // namespace dp
