// Placeholder until the directory operations are written (that change replaces
// this file): the sections are read over; no directory is created or deleted.
#include "items/directories.h"

namespace dp {

int ParseDirectorySection(DirectoryList&, const std::string&, int, VariableTable&) { return 1; }
int ParseDeleteFilesEnd(EndFileList&, const std::string&, VariableTable&) { return 1; }
int CreateListedDirectories(DirectoryList&, StepContext&) { return 1; }
int DeleteListedDirectories(DirectoryList&, StepContext&) { return 1; }
void RemoveShortcutFolder(const std::string&, const VariableTable&) {}

}  // namespace dp
