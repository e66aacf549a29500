#pragma once
// The parts of the COM registration and the after-reboot lists that tests
// reach directly.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dp {

// The key the lists are kept under (HKEY_CURRENT_USER); tests put a scratch
// key in its place. An empty function restores it; returns the previous one.
using ListRootFunction = std::function<HKEY()>;
ListRootFunction SetListRootForTesting(ListRootFunction root);

// Reads one list (kComRegList, kCopyFileList) as the end phase does. 1 with
// the stored paths in the order of their numbers (none when the list's key
// does not open); 0 when the key cannot be queried (a box "Error" tells).
int ReadSavedList(const char* name, std::vector<std::string>& paths);

// Puts a list back as it was: the paths (present), or no list at all.
int RestoreSavedList(const char* name, bool present, const std::vector<std::string>& paths);

// Longest wait for the system's 64-bit regsvr32.
constexpr DWORD kNativeRegsvr32WaitMs = 60000;

}  // namespace dp
