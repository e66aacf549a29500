#pragma once
// The path policy: what every path must pass before the program hands it to
// a file or folder call. The rules on the text live here; the Windows shell
// (base/file_system_win32.h) adds the system's normalisation and the wide
// "\\?\" form through which every file call is made.
//
// - The last part of a path (after its last backslash or slash) must not be
//   a reserved device name: CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9,
//   in any case, with or without an extension ("COM1.txt"). Paths in the
//   device namespace ("\\.\...") are refused too. Such paths get the
//   system's code for an invalid name (123).
// - The wide "\\?\" form of the full path, with its terminating zero, must
//   fit the system's 32,767 characters; a longer path gets the system's code
//   for a name too long (206). Nothing longer is ever handed to the system
//   (which would cut it and reach another file).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dp {

constexpr uint32_t kErrorInvalidName = 123;  // ERROR_INVALID_NAME
constexpr uint32_t kErrorNameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
// Characters of the wide "\\?\" form of a path, its terminating zero included.
constexpr size_t kMaxWidePath = 32767;

// The last part of a path: what follows its last backslash or slash.
std::string_view LastPathPart(std::string_view path);
std::u16string_view LastPathPart(std::u16string_view path);

// Whether a file name is a reserved device name: the part before its first
// dot (or colon), without trailing blanks, is one of the names above.
bool IsReservedDeviceName(std::string_view name);
bool IsReservedDeviceName(std::u16string_view name);

// Whether the path names a device: its last part is a reserved device name,
// or it lies in the device namespace ("\\.\" or "//./").
bool NamesDevice(std::string_view path);

// The rules that need nothing of the system: 0, kErrorInvalidName (a device,
// or a zero character, which would end the path early) or kErrorNameTooLong (more bytes than any wide form within the limit can
// come from: no character of a code page takes more than 4 bytes).
uint32_t CheckPathText(std::string_view path);

// The "\\?\" form of a full, normalised path: "C:\a" gives "\\?\C:\a",
// "\\server\share\a" gives "\\?\UNC\server\share\a", a path already in that
// form stays as it is. Empty for a path that has no such form (relative, or
// in the device namespace).
std::u16string LongPathForm(std::u16string_view fullPath);

// The path with its leading folder `from` replaced by `to`, when the path is
// that folder or lies in it (whole parts only, ASCII letters compared
// without regard to case, final backslashes of the folders ignored); the
// path unchanged otherwise. A 64-bit run reaches the 64-bit system folder by
// its alias this way, and names it again by its real name where the alias
// means nothing (a rename at the next start, a shortcut's target).
std::string ReplaceLeadingFolder(std::string_view path, std::string_view from, std::string_view to);
std::u16string ReplaceLeadingFolder(std::u16string_view path, std::u16string_view from, std::u16string_view to);
// Whether the path is the folder or lies in it (as ReplaceLeadingFolder sees it).
bool IsInFolder(std::string_view path, std::string_view folder);
bool IsInFolder(std::u16string_view path, std::u16string_view folder);

// The whole policy: 0 when a path may be used, else the code it is refused
// with (kErrorInvalidName, kErrorNameTooLong, or the system's error from
// making its full path). On Windows with the system's normalisation
// (base/file_system_win32.cpp); natively on the text alone.
uint32_t CheckPath(const std::string& path);

}  // namespace dp
