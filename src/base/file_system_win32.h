#pragma once
// Folders on disk, for every layer that writes files (the log, the copies).
#include <string>

namespace dp {

// Whether anything (a file or a folder) exists under the path.
bool PathExists(const std::string& path);

// Creates the folder when nothing of that name exists (its parent must
// exist). Returns 0 when it exists or was created, else the system's error.
unsigned long CreateFolderIfMissing(const std::string& folder);

}  // namespace dp
