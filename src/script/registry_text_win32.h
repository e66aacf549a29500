#pragma once
// The system's predefined key for a root name of the registry references.
#include <windows.h>

#include "script/registry_text.h"

namespace dp {

HKEY PredefinedKey(RegistryRoot root);

}  // namespace dp
