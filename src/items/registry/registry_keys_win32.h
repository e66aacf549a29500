#pragma once
// The predefined key that a key path's root name selects.
#include <windows.h>

#include <string_view>

namespace dp {

// HKEY_CURRENT_USER for "HKCU\..." or "HKEY_CURRENT_USER\...", and so on for
// the seven roots; nullptr when the path does not begin with a root name.
HKEY RootKeyFromPath(std::string_view keyPath);

}  // namespace dp
