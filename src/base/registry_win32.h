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

}  // namespace dp
