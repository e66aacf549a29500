#pragma once
// Text handling of the installation script: the loaded text, comment and
// empty-line removal, cutting out a section by its header, the trims used by
// the section parsers, decimal numbers, and the key/value rules of
// [Parameters]. Everything here works on plain strings and in linear time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/log_level.h"
#include "base/text.h"

namespace dp {

class ReportingBase;

// The script's text from the bytes of its file: a zero byte ends the text.
std::string ScriptTextFromBytes(std::string_view bytes);

// Where the lines of a text came from, for a check that names the lines of
// the file as written: entry k is the line (counted from 1) of the original
// text that line k of the text (cut at its line feeds) begins on. A removal
// given an empty list starts from the text as the original; given a list, it
// carries the lines on through it. A line that comments or empty lines were
// joined into, or that begins after removed lines, begins where its first
// kept character stood; an empty last line, where the text after the last
// kept line feed would stand.
using LineOrigins = std::vector<int32_t>;

// Every ";" starts a comment that runs up to and including the next line
// feed: the text before the ";" is joined to the following line, a line that
// starts with ";" disappears, and a ";" without a line feed after it cuts off
// the rest of the text. With origins, also where each line came from.
void RemoveComments(std::string& text, LineOrigins* origins = nullptr);

// Collapses every run of empty lines: a "\r\n\r\n" becomes "\r\n" until none
// is left. Only carriage-return-line-feed pairs count as line ends here.
// With origins, also where each line came from.
void RemoveEmptyLines(std::string& text, LineOrigins* origins = nullptr);

// The text of the section with this header (for example "[InstallFiles]"):
// from right after the first occurrence of the header to the next "[" that
// is not followed by "HKEY_", or to the end, trimmed with SectionTrim.
// Returns false, with an empty section, when the header does not occur.
bool FindSectionText(std::string_view text, std::string_view header, std::string& section);

// FindSectionText that also shows a found header on the initialisation
// window's section line.
bool ExtractSection(ReportingBase& reporter, std::string_view header, std::string& section,
                    std::string_view text);
// ExtractSection that then takes a large section's body (kTakenSectionSize
// bytes or more) out of the text, its header left in place: the headers
// are found in the rest as before (a body holds no header), and the section
// is held once, not twice. For a reading that needs no section twice.
constexpr size_t kTakenSectionSize = size_t{64} << 10;
bool TakeSection(ReportingBase& reporter, std::string_view header, std::string& section, std::string& text);

// The trims: each removes characters of its set at the end of the text, then
// at its beginning, in place, and returns the text.
//   SectionTrim:        end: space, LF, CR, tab; beginning: space, LF, CR
//                       (a leading tab stays).
//   VariableTrim:       space, LF, CR at both ends (variables, file fields,
//                       program runs, shortcuts, directories, the log path).
//   FontSubstituteTrim: double quote, space, LF, CR, tab at both ends.
//   RegFileTrim:        space, LF, CR, tab at both ends (registration files).
std::string& SectionTrim(std::string& text);
std::string& VariableTrim(std::string& text);
std::string& FontSubstituteTrim(std::string& text);
std::string& RegFileTrim(std::string& text);

// The fields of the model that [Parameters] can set.
struct ParameterTargets {
    int32_t& testInstall;
    LogLevel& logLevel;
    std::string& logPath;
    int32_t& logSizeKB;
    bool& rollback;
    int32_t& runTimeoutSeconds;
    bool& sixtyFourBit;  // ARCHITECTURE: X64 true, X86 false
};

// Applies one "key=value" line of [Parameters]. The tests are substring
// tests in this order and several may apply: ROLLBACK (YES makes the run
// transactional, anything else not), INSTALLTYPE/TESTINSTALL,
// LOG/FULL then LOG/NONE, LOGFILE (the whole value, VariableTrim), LOGSIZE
// (ParseWholeDecimal: a value that is no number changes nothing; a negative
// one means no limit), RUNTIMEOUT (ParseWholeDecimal: the longest wait for a
// program or a COM server in seconds; 0 or less: none; no number: unchanged),
// ARCHITECTURE/X64 then ARCHITECTURE/X86 (a later line overrides an earlier
// one; any other value changes nothing).
void ApplyParameterLine(std::string_view key, std::string_view value, ParameterTargets targets);

}  // namespace dp
