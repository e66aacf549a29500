#pragma once
// Which architecture a run installs for. The program is a 32-bit one, so on a
// 64-bit system it installs a 32-bit product unless the script asks for a
// 64-bit one ([Parameters] ARCHITECTURE=X64). Then, for the whole run:
// - every file call on the 64-bit system folder reaches the real folder, not
//   the 32-bit one the system would put in its place
//   (base/file_system_win32.h maps the path to the folder's alias);
// - the registry families open the keys that have a 32-bit and a 64-bit view
//   in the 64-bit one (base/target_architecture_win32.h).
// The flag is set once, while the script is read (before any item is
// carried out), and only on a 64-bit system; everyone else only reads it.
#include <string_view>

namespace dp {

// Whether this run installs a 64-bit product on a 64-bit system.
bool SixtyFourBitTargets();
void SetSixtyFourBitTargets(bool on);

// The roots of the registry as far as their views go.
enum class RegistryHive { kClassesRoot, kLocalMachine, kCurrentUser, kUsers, kOther };

// Whether a key has a 32-bit and a 64-bit view on a 64-bit system: the
// machine's software (HKLM\SOFTWARE and below) and the classes (HKCR, a
// user's Software\Classes, HKU\<user>_Classes). The system keeps some of
// their subkeys shared between both views; naming the 64-bit view leaves
// those as they are. Every other key (HKLM\SYSTEM, a user's own settings,
// ...) has one view. The subkey is compared part by part, without regard to
// case; backslashes at its ends and doubled ones count as one.
bool HasTwoRegistryViews(RegistryHive hive, std::string_view subkey);

}  // namespace dp
