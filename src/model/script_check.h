#pragma once
// The check of a script before it ships (-CHECK=): findings in the form
// compilers use, "file:line: error: text" or "file:line: warning: text", with
// the lines of the files as written. The script is read by the run's own
// reader and parsers (CheckScript); what they report, and what the model they
// fill holds, becomes findings. This header also holds the pure rules the
// check adds on top: those about the text as written, [Parameters] values,
// option words, and the forms of exported registry files that the reduced
// format does not take or reads differently.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/script_text.h"

namespace dp {

// Errors are what makes a run fail, stop reading or skip an item; the rest
// are warnings.
enum class Severity { Warning, Error };

struct Finding {
    std::string file;   // as the command line or the script names it
    int32_t line = 0;   // from 1; 0 for the file as a whole
    Severity severity = Severity::Warning;
    std::string text;
};

// "file:line: error: text" ("file: error: text" for line 0), no line end.
std::string FormatFinding(const Finding& finding);

// A finding in a text that is being looked at, before the file is named.
struct LineFinding {
    int32_t line = 0;
    Severity severity = Severity::Warning;
    std::string text;
};

// Edits (insert, delete, replace one character) from one text to the other,
// letters compared without regard to case.
size_t EditDistance(std::string_view a, std::string_view b);
// The candidate nearest to a name that looks like a misspelling of it (a few
// edits apart, fewer for short names; a difference of case alone counts as
// near), or "" when none is that near.
std::string NearestName(std::string_view name, const std::vector<std::string_view>& candidates);

// The script text with its comments and empty lines removed, as the reader
// leaves it, and the original line of each of its characters.
class StrippedScript {
public:
    explicit StrippedScript(std::string_view original);
    const std::string& text() const { return text_; }
    const LineOrigins& origins() const { return origins_; }
    // The original line of the character at this offset of the stripped text.
    int32_t OriginalLine(size_t offset) const;

private:
    std::string text_;
    LineOrigins origins_;
    std::vector<size_t> lineStarts_;
};

// Text before a ";" on a line, which the comment joins with the next line
// (when anything but blanks is joined to it).
std::vector<LineFinding> FindCommentsAfterText(std::string_view original);
// Section headers that are not one of the script's (`headers`: the 24 of the
// section table; with the nearest one when it is near), a header given again
// (only its first section is read), text before the first header (read by no
// section) and a "[" inside a line of a section (which ends the section there).
std::vector<LineFinding> FindSectionLayout(const StrippedScript& script, const std::vector<std::string_view>& headers);

// A line of [Parameters], split as the run splits it: an unknown key (a
// warning), a value the run cannot take (an error: LOGSIZE that is no
// number, LOGLEVEL other than FULL, SHORT or NONE, ARCHITECTURE other than
// X86 or X64), or a LOGFILE value that also sets the level (a warning).
std::optional<LineFinding> CheckParameterLine(std::string_view key, std::string_view value);
// The words after the comma of an install line that are not "Always".
std::vector<std::string> CheckInstallOptions(std::string_view options);
// The words after the "!" of a program line that are not "OnQueue", an
// expected exit code that is no number, or one that is never checked.
std::vector<std::string> CheckRunFlags(std::string_view line);
// The program a command starts (the quoted text, or the text up to the first
// blank); commands that begin with an unquoted path holding blanks are
// resolved by the caller.
std::string FirstWordOfCommand(std::string_view command);

// Why a registration file reader (or, with keyFile, a key file reader)
// stopped at this line, for its error finding.
std::string ExplainRejectedFileLine(std::string_view line, bool keyFile);
// Forms in a line of a registration file that the reduced format takes but
// reads otherwise than an export means them: a doubled backslash in a quoted
// value (it stays doubled), blanks at the ends of the quotes (dropped), type
// words inside a quoted value (read as that type), a key in the deletion
// form (written, not deleted).
std::vector<std::string> FindFormsReadDifferently(std::string_view line);

// The line (from 1) of a registration or key file that its reader rejected:
// the first whose text, trimmed (and with keyFile, cut at a ";"), is the
// rejected line's, else the first that starts it (a line that comments were
// joined into); 0 when none.
int32_t FindRejectedLine(std::string_view fileText, std::string_view rejected, bool keyFile);
// The first line from `fromLine` on whose "[...]" names this key path (as the
// key file reader takes it); 0 when none. fromLine moves past it.
int32_t FindKeyLine(std::string_view fileText, std::string_view keyPath, size_t& fromLine);

// Reads the script at `path` as a run would (no window, no log, nothing
// changed; message boxes are taken down, not shown) and returns its findings,
// the script named `shownPath` in them, in the order of files and lines.
// Windows only.
std::vector<Finding> CheckScript(const std::string& path, const std::string& shownPath);

}  // namespace dp
