#pragma once
// The text edit that schedules a deletion in WinInit.Ini's [Rename] section,
// for systems that cannot schedule it themselves.
#include <string>

namespace dp {

// The header of the section, in the only form that is recognised.
inline constexpr const char kRenameHeader[] = "[Rename]\r\n";
inline constexpr size_t kRenameHeaderLength = sizeof kRenameHeader - 1;

// "NUL=path\r\n".
std::string RenameDeleteLine(const std::string& path);

// Returns the file's new text: the deletion line inserted as the first line
// of the [Rename] section, or, when the file has no such header (exact case,
// with the carriage return), the header and the line appended at the end.
// The header is looked for only up to the first zero byte of the text.
std::string InsertRenameLine(const std::string& oldText, const std::string& path);

}  // namespace dp
