#pragma once
// The text edit that schedules a deletion or a replacement in WinInit.Ini's
// [Rename] section, for systems that cannot schedule them themselves.
#include <string>

namespace dp {

// The header of the section, in the only form that is recognised.
inline constexpr const char kRenameHeader[] = "[Rename]\r\n";
inline constexpr size_t kRenameHeaderLength = sizeof kRenameHeader - 1;

// "NUL=path\r\n".
std::string RenameDeleteLine(const std::string& path);
// "destination=source\r\n": the source is moved over the destination.
std::string RenameLine(const std::string& destination, const std::string& source);

// Returns the file's new text: the line (RenameDeleteLine, RenameLine)
// inserted as the first line of the [Rename] section, or, when the file has
// no such header (exact case, with the carriage return), the header and the
// line appended at the end. The header is looked for only up to the first
// zero byte of the text.
std::string InsertRenameEntry(const std::string& oldText, const std::string& line);

}  // namespace dp
