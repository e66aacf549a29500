// Placeholder until the directory operations are written (that change replaces
// this file): creates and deletes no directory.
#include "items/directories.h"

namespace dp {

int CreateListedDirectories(DirectoryList&) { return 1; }
int DeleteListedDirectories(DirectoryList&) { return 1; }
void RemoveShortcutFolder(const std::string&, const VariableTable&) {}

}  // namespace dp
