#pragma once
// The log line of one file item (what was done to which file, and why), and
// the texts the install phase writes around it.
#include <cstdint>
#include <string>

#include "base/log_level.h"
#include "items/work/work_item.h"

namespace dp {

class FileList;
struct FileItem;

// "" for an item installed regardless of the comparison, "[By rule]" when the
// comparison asked for it (delete items always), else "[By user checked]".
std::string ResultReason(const FileItem& item);
// "(version; details)", or "(details)" when the version text is empty.
std::string SourceGroup(const FileItem& item);
std::string TargetGroup(const FileItem& item);

// The result line of item number `item` for the log level (1 full, 2 short):
// empty for level 0 (and for a number outside the list). The line is built to its full length,
// so every item gets its own line however long its paths are.
std::string FormatResultLine(const FileList& list, LogLevel logLevel, int item);

// What the install phase writes after a copy with the item's result line:
// "%s\n" for 0; the disk-full note for 112; "[After Reboot]" only when the
// replacement was scheduled for the next reboot; "[File is not installed]"
// for any other failure.
constexpr uint32_t kErrorDiskFull = 112;
std::string CopyResultText(const std::string& line, uint32_t errorCode, bool scheduledForReboot);

// The note of a copy whose target was in use and is replaced at the next
// reboot: "%s %s to %s. %s\n" with message 140, the source, the target and
// the system's text for the copy's error code.
std::string InUseCopyText(const std::string& source, const std::string& target, uint32_t errorCode);

// The plan row of a file item: its paths, and its files' version (or date),
// size and date as they were found (the source's only for an item to install).
PlanRow FileItemRow(const char* action, const FileItem& item, const std::string& reason);

// "Error coping: source file not found %s\n".
std::string MissingSourceText(const std::string& sourcePath);

// The text of a message with one "%s" replaced by `value` (the first "%s"
// only; the rest of the text is kept as it is).
std::string FormatMessageWithPath(const std::string& message, const std::string& value);

}  // namespace dp
