#pragma once
// Shortcuts the script creates ([InstallShortcuts]) and deletes ([DeleteShortcuts]).
#include <cstdio>

namespace dp {

class DeleteShortcutList;
class ShortcutList;
class FileList;

// Deletes the listed shortcuts. Always 1.
int DeleteShortcuts(DeleteShortcutList& list, std::FILE* log, int logLevel);
// Creates the listed shortcuts whose target is installed in this run. 0 when
// the COM library cannot be initialised, otherwise 1.
int CreateShortcuts(ShortcutList& list, std::FILE* log, int logLevel, const FileList& files);

}  // namespace dp
