#pragma once
// The one rule on the keys a key file may delete. A pure function of the key
// path as the file writes it; linear time.
#include <string_view>

namespace dp {

// Whether the key a key path names must never be deleted (nor removed as an
// emptied parent). The path is judged on the key it finally names:
//   - names are compared without regard to case, and backslashes at the ends
//     and doubled ones are ignored; the root name (after blanks and the "-"
//     of the deletion form) in any case, short or long;
//   - the aliases are resolved: HKEY_CURRENT_USER and every user's hive under
//     HKEY_USERS (.DEFAULT, any SID) are one user hive; HKEY_CLASSES_ROOT,
//     Software\Classes of the machine or a user, and HKEY_USERS\<user>_Classes
//     are the classes; a Wow6432Node right under Software or the classes is
//     the key beside it.
// A key may be deleted only when it belongs to a product:
//   - in the machine or a user's hive: Software\<vendor> or a key below it,
//     for a vendor that is not one of the system's (Microsoft, Classes,
//     Policies, Wow6432Node, Clients, RegisteredApplications, ODBC, ...);
//     under Software\Microsoft only an entry of the lists Uninstall and
//     App Paths of Windows\CurrentVersion (and what lies below it);
//   - in the classes: a program identifier "Vendor.Name[.n]" (not one of the
//     system's families such as Shell., Scripting., WScript., Msxml2.), or a
//     GUID entry "{...}" of CLSID, Interface, TypeLib or AppID, and what lies
//     below either.
// Everything else is refused: a root, a user's hive, anything outside
// Software (SYSTEM, SAM, SECURITY, HARDWARE, Control Panel, Environment, ...),
// HKEY_CURRENT_CONFIG, HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA, the class lists
// themselves, the file types (exefile, *, Directory: names without a dot)
// and the extensions (.txt: every program that opens such files shares them).
// A path whose root is not known is refused too.
bool IsProtectedRegistryKey(std::string_view keyPath);

}  // namespace dp
