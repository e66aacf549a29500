#pragma once
// Files and folders on disk, for every layer. Calls that name a path on disk
// go through these (or through the file operations of items/files), so that
// one path policy holds for the whole program.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace dp {

// Whether anything (a file or a folder) exists under the path.
bool PathExists(const std::string& path);

// The path's attributes: 0 with `attributes` set, else the system's error.
uint32_t GetPathAttributes(const std::string& path, DWORD& attributes);
// 0, or the system's error.
uint32_t SetPathAttributes(const std::string& path, DWORD attributes);

// Creates the folder when nothing of that name exists (its parent must
// exist). Returns 0 when it exists or was created, else the system's error.
uint32_t CreateFolderIfMissing(const std::string& folder);
// Removes an empty folder (or a link to a folder, as a link). 0, or the
// system's error.
uint32_t RemoveFolder(const std::string& folder);
// Deletes a file. 0, or the system's error.
uint32_t DeleteFileAt(const std::string& path);

// The full path of a path: relative parts resolved against the current
// directory, "." and ".." applied, short names made long where the path
// exists. 0 with the path, else the system's error.
uint32_t FullPathName(const std::string& path, std::string& full);
// The path by which the system finally reaches an existing file or folder,
// links (junctions, symbolic links) followed, as the system gives it
// (usually with a "\\?\" in front). 0 with the path, else the system's
// error (also on systems that cannot tell).
uint32_t FinalPathName(const std::string& path, std::string& final);

// Reads a whole file: its size first, then one read. 0 with the bytes, else
// the system's error.
uint32_t ReadWholeFile(const std::string& path, std::string& bytes);

// Reads at most `size` bytes from the offset on (fewer at the end of the
// file). 0 with the bytes, else the system's error.
uint32_t ReadFilePart(const std::string& path, uint64_t offset, uint32_t size, std::string& bytes);

// The path in the system's wide form (code page CP_ACP), whole, for calls
// that take only a wide name. 0, or ERROR_FILENAME_EXCED_RANGE when it is
// longer than any path the system accepts (32,767 characters).
uint32_t WidePath(const std::string& path, std::wstring& wide);

// Reads at most `limit` bytes from the start of a file (fewer when it is
// shorter). 0 with the bytes, else the system's error.
uint32_t ReadFileHead(const std::string& path, size_t limit, std::string& bytes);

// Loads a library by its path with LoadLibraryEx flags. 0 with the module,
// else the system's error (module null).
uint32_t LoadLibraryAt(const std::string& path, DWORD flags, HMODULE& module);

// Calls visit(name, attributes) for every entry of the folder, "." and ".."
// left out. 0 when the folder could be listed (also when empty), else the
// system's error of the listing's start.
uint32_t ListFolder(const std::string& folder,
                    const std::function<void(const std::string& name, DWORD attributes)>& visit);

}  // namespace dp
