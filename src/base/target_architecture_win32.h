#pragma once
// The system side of a 64-bit run (base/target_architecture.h): whether the
// system is a 64-bit one, the registry view of a key, the names of the
// 64-bit system folder, and file-system redirection turned off around one
// call on one thread.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "base/target_architecture.h"

namespace dp {

// Whether the system is a 64-bit one (this 32-bit process runs under WOW64).
// Tests put another answer in place to show the run on a 32-bit system.
bool SystemIsSixtyFourBit();
using SystemBitnessFunction = std::function<bool()>;
// Replaces the answer (an empty function restores the system's); returns
// what was in place.
SystemBitnessFunction SetSystemBitnessForTesting(SystemBitnessFunction function);

// The view flag to add to the access of a key of the registry families:
// KEY_WOW64_64KEY in a 64-bit run for a key that has two views, else 0.
REGSAM TargetView(HKEY root, std::string_view subkey);

// The 64-bit system folder by its real name (GetSystemDirectory:
// "C:\Windows\System32", which this process's calls would take to the 32-bit
// folder), and by the alias under which a 32-bit process reaches it
// ("C:\Windows\Sysnative"), without final backslashes; empty on a 32-bit
// system (and when the system cannot tell).
struct NativeSystemFolder {
    std::string real, alias;
    std::u16string realWide, aliasWide;
};
const NativeSystemFolder& NativeSystemFolderNames();

// File-system redirection turned off for this thread while it lives, for a
// call that must name the 64-bit system folder by its real name (the
// system's list of renames at the next start). Nothing else may be called
// meanwhile: the system would look for its own libraries in the wrong
// folder. Does nothing where there is no redirection.
class RedirectionOff {
public:
    RedirectionOff();
    ~RedirectionOff();
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    void* old_ = nullptr;
    bool off_ = false;
};

}  // namespace dp
