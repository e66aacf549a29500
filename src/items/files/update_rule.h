#pragma once
// The update decision for a file item and the texts shown for a file's facts:
// pure functions, the same on every platform.
#include <cstdint>
#include <string>

#include "items/files/file_list.h"

namespace dp {

// Texts of the item fields.
inline constexpr const char* kNotFoundText = "- not found -";
inline constexpr const char* kGetErrorText = "- get error -";
inline constexpr const char* kNeedToBeDeletedText = "- need to be deleted -";

// Which rule of the update decision decides an item, tried in this order:
// no source (never installed), no target (installed), facts that cannot be
// read (not installed), Always, then by version resources, then by dates.
enum class UpdateRule : uint8_t {
    SourceMissing,
    TargetMissing,
    FactsUnreadable,
    Always,
    HigherVersion,         // the package file's version is higher
    TargetWithoutVersion,  // the package file has a version, the installed one none
    NewerDate,             // neither has a version; the package file is newer
    SameOrOlder,           // none of the above: the installed file stays
};
UpdateRule DecideUpdate(const FileItem& item, const FileFacts& target, const FileFacts& source);
// Whether the rule installs the package file.
bool RuleInstalls(UpdateRule rule);
// Whether the decision keeps the installed file whatever its own facts turn
// out to be: the package file was read, has no version resource and is not
// later than the installed file's last-write time (which the system tells
// without opening the file). Neither a version resource of the installed file
// nor facts that cannot be read would install it then.
bool KeptWhateverTargetFacts(const FileItem& item, const FileFacts& source, uint64_t targetLastWriteTime);
// "target missing", "higher version", ...
const char* RuleText(UpdateRule rule);

// "d.m.y" without leading zeros, from a FILETIME value (100 ns units since
// 1 January 1601, UTC; no conversion to local time).
std::string FormatFileDate(uint64_t fileTime);
// "2024-06-01T12:00:00Z": ISO 8601 in UTC, to the second, from a FILETIME
// value (the year has at least four digits).
std::string FormatIsoFileTime(uint64_t fileTime);
// The size in decimal.
std::string FormatFileSize(uint64_t size);
// "size; date".
std::string FormatFileDetails(const std::string& sizeText, const std::string& dateText);

// One line of an install section: target "=" source ["," options].
struct InstallLine {
    std::string target;
    std::string source;
    std::string options;
    bool always = false;  // the options contain the word "Always" (case matters)
};
// Splits at the first "=" and then at the first ","; false when there is no
// "=". The parts are not trimmed.
bool SplitInstallLine(const std::string& line, InstallLine& out);

// A path without any backslash names a file in the program's directory
// (which ends with a backslash).
std::string CompleteFilePath(const std::string& path, const std::string& programDirectory);
// The part after the last backslash (the whole text when there is none).
std::string FileNamePart(const std::string& path);

}  // namespace dp
