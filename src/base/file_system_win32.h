#pragma once
// Files and folders on disk, for every layer. Every call that names a path on
// disk goes through these (or through the file operations of items/files,
// which are built on them), so that one path policy holds for the whole
// program (base/path_policy.h):
// - a path the policy refuses is never handed to the system: the call fails
//   with the policy's code (123 a device name, 206 too long), which is also
//   left as the thread's last error;
// - on the NT family every call is made through the wide functions with the
//   "\\?\" form of the full, normalised path (converted from the system code
//   page), so paths longer than MAX_PATH work up to the system's limit;
// - on the 9x family, which has no wide file functions, through the ANSI
//   functions with the path as given, which must then be shorter than
//   MAX_PATH (else 206).
// In a 64-bit run (base/target_architecture.h) a path in the 64-bit system
// folder is taken there through the folder's alias ("C:\Windows\System32\x"
// is reached as "C:\Windows\Sysnative\x"), for every call made here; the
// paths these functions hand back (FullPathName) keep the real name.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "base/handles_win32.h"
#include "base/path_policy.h"

namespace dp {

// A path in the form the file calls take.
struct SystemPath {
    uint32_t error = 0;  // 0: the policy accepts it; else the code it is refused with
    bool wide = false;   // call the wide function with `w` (else the ANSI one with `a`)
    std::wstring w;
    std::string a;
};
// Applies the policy (CheckPath is its verdict alone), with the path in the
// 64-bit system folder reached through its alias in a 64-bit run.
SystemPath MakeSystemPath(const std::string& path);

// The path by which this run reaches a file, for the calls that take a path
// without going through these functions (starting a program, opening a
// document): in a 64-bit run a path in the 64-bit system folder through the
// folder's alias; any other path as it is.
std::string ReachablePath(const std::string& path);
// A path through the alias of the 64-bit system folder by the folder's real
// name, for where the alias means nothing: a shortcut's target (the shell
// that follows it is a 64-bit one), a 64-bit program's argument. Any other
// path as it is; on a 32-bit system every path as it is.
std::string RealSystemPath(const std::string& path);

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
// Deletes a file. 0, or the system's error. A deletion the system reports as
// done while the file is still there (a read-only volume can do that) has
// failed: ERROR_FILE_EXISTS (80).
uint32_t DeleteFileAt(const std::string& path);

// The full path of a path: relative parts resolved against the current
// directory, "." and ".." applied, short names made long where the path
// exists (the policy's full path, without the "\\?\" in front). 0 with the
// path, else the system's error.
uint32_t FullPathName(const std::string& path, std::string& full);
// The path by which the system finally reaches an existing file or folder,
// links (junctions, symbolic links) followed, as the system gives it
// (usually with a "\\?\" in front). 0 with the path, else the system's
// error (also on systems that cannot tell).
uint32_t FinalPathName(const std::string& path, std::string& final);

// Reads a whole file: its size first, then one read. 0 with the bytes, else
// the system's error; ERROR_NOT_ENOUGH_MEMORY for a file larger than limit
// (or than memory can hold).
uint32_t ReadWholeFile(const std::string& path, std::string& bytes, uint64_t limit = 0x7fffffff);

// Reads at most `size` bytes from the offset on (fewer at the end of the
// file). 0 with the bytes, else the system's error.
uint32_t ReadFilePart(const std::string& path, uint64_t offset, uint32_t size, std::string& bytes);

// The path in the wide form the policy gives (the "\\?\" form of the full
// path on the NT family; converted from CP_ACP as it is on the 9x family),
// for calls that take only a wide name. 0, or the code the policy refuses it
// with (ERROR_FILENAME_EXCED_RANGE for a path longer than the system
// accepts).
uint32_t WidePath(const std::string& path, std::wstring& wide);

// The path for calls of the shell and of COM objects that may not take the
// "\\?\" form (the shell link object's file name): on the NT family the
// plain full path when it is shorter than MAX_PATH, else the "\\?\" form;
// on the 9x family as WidePath gives it. 0, or the code the policy refuses
// the path with.
uint32_t ShellPath(const std::string& path, std::wstring& wide);

// The short (8.3) form of an existing path's full path, in the system code
// page and without "\\?\" in front, where the system has one (any length
// on the NT family). 0 with the form, else the system's error.
uint32_t ShortPathName(const std::string& path, std::string& shortForm);

// Loads a library by its path with LoadLibraryEx flags. 0 with the module,
// else the system's error (module null).
uint32_t LoadLibraryAt(const std::string& path, DWORD flags, HMODULE& module);

// Calls visit(name, attributes) for every entry of the folder, "." and ".."
// left out. 0 when the folder could be listed (also when empty), else the
// system's error of the listing's start.
uint32_t ListFolder(const std::string& folder,
                    const std::function<void(const std::string& name, DWORD attributes)>& visit);

// CreateFile: the open file, or none with `error` set.
UniqueFile OpenFileAt(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags, uint32_t& error);
// A C stream in the given fopen mode ("a+", "rb", ...), or null with the
// thread's last error set when the policy refuses the path.
std::FILE* OpenStreamAt(const std::string& path, const char* mode);
// CopyFile. 0, or the system's error.
uint32_t CopyFileAt(const std::string& source, const std::string& target, bool failIfExists);
// MoveFileEx with its flags; an empty `to` is no new name (a deletion at the
// next reboot). 0, or the system's error. A rename at the next start names
// the 64-bit system folder by its real name (the system knows no alias when
// it carries the list out), with redirection off around the call.
uint32_t MoveFileAt(const std::string& from, const std::string& to, DWORD flags);
// What the system tells of a file or folder without opening it
// (GetFileAttributesEx): attributes, times and size. 0, or the system's error.
uint32_t PathDataAt(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data);
// A file time and a file's size as one number.
inline uint64_t FileTimeValue(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}
inline uint64_t FileSizeValue(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}
// The size of a file. 0, or the system's error.
uint32_t FileSizeAt(const std::string& path, uint64_t& size);
// The bytes free for the caller on the volume of a folder. 0, or the
// system's error.
uint32_t FreeSpaceAt(const std::string& folder, uint64_t& bytes);
// On the 9x family the short (8.3) form of an existing path, for WinInit.Ini,
// which knows only short names; else (or without one) the path itself.
std::string ShortPathOf(const std::string& path);

}  // namespace dp
