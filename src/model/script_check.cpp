// The pure rules of the script check: line origins, the text as written,
// [Parameters] values, option words and the forms of registry files.
#include "model/script_check.h"

#include <algorithm>
#include <array>

#include "base/text.h"

namespace dp {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }
bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

// " (did you mean X?)" when a candidate is near, else "".
std::string Suggestion(std::string_view name, const std::vector<std::string_view>& candidates) {
    const std::string nearest = NearestName(name, candidates);
    return nearest.empty() ? std::string() : " (did you mean " + nearest + "?)";
}

// The words of an option text: cut at commas and blanks.
std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < text.size()) {
        const size_t begin = text.find_first_not_of(", \t\r\n", at);
        if (begin == std::string_view::npos) break;
        size_t end = text.find_first_of(", \t\r\n", begin);
        if (end == std::string_view::npos) end = text.size();
        words.push_back(text.substr(begin, end - begin));
        at = end;
    }
    return words;
}

bool IsHeaderLine(std::string_view trimmed) {
    return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']' &&
           !StartsWith(trimmed, "[HKEY_");
}

}  // namespace

std::string FormatFinding(const Finding& finding) {
    std::string text = finding.file;
    if (finding.line > 0) text += ":" + std::to_string(finding.line);
    text += finding.severity == Severity::Error ? ": error: " : ": warning: ";
    return text + finding.text;
}

size_t EditDistance(std::string_view a, std::string_view b) {
    // One row of the table at a time.
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const size_t replace = diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, replace});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string NearestName(std::string_view name, const std::vector<std::string_view>& candidates) {
    // Names far longer than any candidate are no misspelling of one.
    if (name.size() > 64) return {};
    const size_t limit = name.size() <= 4 ? 1 : name.size() <= 10 ? 2 : 3;
    std::string_view best;
    size_t bestDistance = limit + 1;
    for (std::string_view candidate : candidates) {
        const size_t distance = EditDistance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return std::string(best);
}

StrippedScript::StrippedScript(std::string_view original) : text_(original) {
    RemoveComments(text_, &origins_);
    RemoveEmptyLines(text_, &origins_);
    lineStarts_.push_back(0);
    for (size_t at = text_.find('\n'); at != std::string::npos; at = text_.find('\n', at + 1))
        lineStarts_.push_back(at + 1);
}

int32_t StrippedScript::OriginalLine(size_t offset) const {
    // The last line that starts at or before the offset.
    const size_t k = static_cast<size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                                         lineStarts_.begin()) - 1;
    return k < origins_.size() ? origins_[k] : (origins_.empty() ? 1 : origins_.back());
}

std::vector<LineFinding> FindCommentsAfterText(std::string_view original) {
    std::vector<LineFinding> findings;
    const std::vector<std::string_view> lines = SplitLines(original);
    for (size_t k = 0; k + 1 < lines.size(); ++k) {  // the last line has no line end to lose
        const std::string_view line = lines[k];
        const size_t semi = line.find(';');
        if (semi == std::string_view::npos || TrimView(line.substr(0, semi), kBlanks).empty()) continue;
        // What the line is joined with: the next line, or, where that is a
        // comment too, the text before it and what follows.
        std::string joined;
        for (size_t next = k + 1; next < lines.size(); ++next) {
            const size_t nextSemi = lines[next].find(';');
            joined.append(lines[next].substr(0, nextSemi));
            if (nextSemi == std::string_view::npos || next + 1 == lines.size()) break;
        }
        if (TrimView(joined, kBlanks).empty()) continue;
        findings.push_back({static_cast<int32_t>(k + 1), Severity::Warning,
                            "text before \";\" is joined with the next line (a comment takes its line end with it): "
                            "put the comment on a line of its own"});
    }
    return findings;
}

std::vector<LineFinding> FindSectionLayout(const StrippedScript& script, const std::vector<std::string_view>& names) {
    std::vector<LineFinding> findings;
    std::vector<bool> seen(names.size(), false);

    const std::vector<std::string_view> lines = SplitLines(script.text());
    bool inSection = false;  // inside one of the 24 (read) sections
    bool beforeFirst = true;
    size_t offset = 0;
    for (std::string_view line : lines) {
        const int32_t at = script.OriginalLine(offset);
        offset += line.size() + 1;
        const std::string_view trimmed = TrimView(line, kBlanks);
        if (IsHeaderLine(trimmed)) {
            beforeFirst = false;
            const auto known = std::find(names.begin(), names.end(), trimmed);
            if (known == names.end()) {
                findings.push_back({at, Severity::Warning,
                                    "unknown section " + std::string(trimmed) + Suggestion(trimmed, names) +
                                        ": its lines are read by no section"});
                inSection = false;
                continue;
            }
            const size_t k = static_cast<size_t>(known - names.begin());
            if (seen[k])
                findings.push_back({at, Severity::Warning,
                                    "section " + std::string(trimmed) + " again: only its first section is read"});
            seen[k] = true;
            inSection = true;
            continue;
        }
        if (trimmed.empty()) continue;
        if (beforeFirst) {
            findings.push_back({at, Severity::Warning, "text before the first section is read by no section"});
            beforeFirst = false;
            continue;
        }
        if (!inSection) continue;
        for (size_t open = line.find('['); open != std::string_view::npos; open = line.find('[', open + 1)) {
            if (StartsWith(line.substr(open + 1), "HKEY_")) continue;
            findings.push_back({at, Severity::Warning,
                                "\"[\" inside a line ends its section there: the rest of the section is not read"});
            inSection = false;
            break;
        }
    }
    return findings;
}

std::optional<LineFinding> CheckParameterLine(std::string_view key, std::string_view value) {
    static const std::vector<std::string_view> kKeys = {"INSTALLTYPE", "LOGLEVEL", "LOGFILE", "LOGSIZE",
                                                        "ARCHITECTURE", "ROLLBACK", "RUNTIMEOUT"};
    const std::string_view name = TrimView(key, kBlanks);
    const std::string_view v = TrimView(value, kBlanks);
    auto error = [](std::string text) { return LineFinding{0, Severity::Error, std::move(text)}; };
    if (name == "LOGSIZE") {
        if (!ParseWholeDecimal(v)) return error("LOGSIZE " + Quote(v) + " is no number: the size stays as it was");
        return std::nullopt;
    }
    if (name == "LOGLEVEL") {
        static const std::vector<std::string_view> kLevels = {"FULL", "SHORT", "NONE"};
        if (std::find(kLevels.begin(), kLevels.end(), v) == kLevels.end())
            return error("unknown LOGLEVEL " + Quote(v) + Suggestion(v, kLevels) +
                         ": FULL, SHORT or NONE (the level stays as it was)");
        return std::nullopt;
    }
    if (name == "ARCHITECTURE") {
        static const std::vector<std::string_view> kArchitectures = {"X86", "X64"};
        if (std::find(kArchitectures.begin(), kArchitectures.end(), v) == kArchitectures.end())
            return error("unknown ARCHITECTURE " + Quote(v) + Suggestion(v, kArchitectures) + ": X86 or X64");
        return std::nullopt;
    }
    if (name == "LOGFILE") {
        // The key holds "LOG": the level tests see the file name too.
        for (std::string_view level : {"NONE", "FULL"})
            if (Contains(value, level))
                return LineFinding{0, Severity::Warning,
                                   "the LOGFILE value holds " + Quote(level) + ", which also sets the log level to " +
                                       std::string(level)};
        return std::nullopt;
    }
    if (name == "RUNTIMEOUT") {
        const std::optional<int32_t> seconds = ParseWholeDecimal(v);
        if (!seconds || *seconds < 0)
            return error("RUNTIMEOUT " + Quote(v) + " is no number of seconds: programs are waited for without a limit");
        return std::nullopt;
    }
    if (name == "ROLLBACK") {
        static const std::vector<std::string_view> kAnswers = {"YES", "NO"};
        if (std::find(kAnswers.begin(), kAnswers.end(), v) == kAnswers.end())
            return error("unknown ROLLBACK " + Quote(v) + Suggestion(v, kAnswers) + ": YES or NO");
        return std::nullopt;
    }
    if (name == "INSTALLTYPE") return std::nullopt;
    return LineFinding{0, Severity::Warning,
                       "unknown parameter " + Quote(name) + Suggestion(name, kKeys) + ": INSTALLTYPE, LOGLEVEL, "
                       "LOGFILE, LOGSIZE, ARCHITECTURE, ROLLBACK or RUNTIMEOUT"};
}

std::vector<std::string> CheckInstallOptions(std::string_view options) {
    std::vector<std::string> texts;
    for (std::string_view word : Words(options)) {
        if (word == "Always") continue;
        if (Contains(word, "Always"))
            texts.push_back("option " + Quote(word) + " counts as Always (only the word \"Always\" is looked for)");
        else
            texts.push_back("unknown option " + Quote(word) + Suggestion(word, {"Always"}) +
                            ": the only option is Always");
    }
    return texts;
}

std::vector<std::string> CheckRunFlags(std::string_view line) {
    std::vector<std::string> texts;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return texts;
    const std::string_view rest = line.substr(equals + 1);
    const size_t bang = rest.find('!');
    if (bang == std::string_view::npos) return texts;
    std::string_view flags = rest.substr(bang + 1);
    const size_t second = flags.find('!');
    const std::string_view code = second == std::string_view::npos ? std::string_view() : flags.substr(second + 1);
    flags = flags.substr(0, second);
    bool wait = false;
    for (std::string_view word : Words(flags)) {
        if (Contains(word, "OnQueue")) {
            wait = true;
            continue;
        }
        texts.push_back("unknown flag " + Quote(word) + Suggestion(word, {"OnQueue"}) + ": the only flag is OnQueue");
    }
    if (second == std::string_view::npos) return texts;
    const std::string_view number = TrimView(code, kBlanks);
    if (!ParseWholeDecimal(number))
        texts.push_back("expected exit code " + Quote(number) + " is no number: it is read as " +
                        std::to_string(ParseDecimal(number)));
    if (!wait) texts.push_back("the expected exit code is only checked with OnQueue (the program is not waited for)");
    return texts;
}

std::string FirstWordOfCommand(std::string_view command) {
    command = TrimView(command, kBlanks);
    if (!command.empty() && command.front() == '"') {
        const size_t close = command.find('"', 1);
        return std::string(command.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    }
    return std::string(command.substr(0, command.find_first_of(" \t")));
}

std::string ExplainRejectedFileLine(std::string_view line, bool keyFile) {
    const std::string_view t = TrimView(line, kBlanks);
    std::string why;
    if (keyFile) {
        why = "key path longer than 259 characters";
    } else if (StartsWith(t, "\xFF\xFE") || StartsWith(t, "\xFE\xFF")) {
        why = "the file is UTF-16 text (as the registry editor exports it); the reduced format reads 8-bit text";
    } else if (StartsWith(t, "REGEDIT") || StartsWith(t, "Windows Registry Editor")) {
        why = "header line " + Quote(t) + ": the reduced format has no header line, remove it";
    } else if (StartsWith(t, ";")) {
        why = "comment line: registration files take no comments";
    } else if (Contains(t, "=")) {
        const std::string_view name = TrimView(t.substr(0, t.find('=')), kBlanks);
        const std::string_view value = TrimView(t.substr(t.find('=') + 1), kBlanks);
        const size_t colon = value.find(':');
        const std::string_view type = colon == std::string_view::npos ? std::string_view() : value.substr(0, colon + 1);
        if (value == "-") {
            why = "deleting a value (\"=-\") is not in the reduced format";
        } else if (!type.empty() && value.front() != '"' && type != "dword:" && type != "hex:" &&
                   type != "hex(2):" && type != "hex(7):") {
            why = "value type " + std::string(type) + " is not one the reduced format knows (dword:, hex:, hex(2):, hex(7):)";
        } else if (!value.empty() && value.back() == '\\') {
            why = "continued value: the reduced format takes no continuation lines";
        } else if (name.find('"') == std::string_view::npos && name.find('@') == std::string_view::npos) {
            why = "the value name must be quoted (or @ for the default value)";
        } else {
            why = "value line not taken (before any key line, or a value the reduced format cannot read)";
        }
    } else if (Contains(t, "[")) {
        why = "key line " + std::string(t) + " needs a root and a key path below it (at most 259 characters)";
    } else if (!t.empty() && t.find_first_not_of("0123456789abcdefABCDEF, \t\\") == std::string_view::npos) {
        why = "continuation line: the reduced format takes no continuation lines";
    } else {
        why = "neither a key line \"[...]\" nor a value line";
    }
    return why + "; the rest of the file is not read";
}

std::vector<std::string> FindFormsReadDifferently(std::string_view line) {
    std::vector<std::string> texts;
    const std::string_view t = TrimView(line, kBlanks);
    const size_t equals = t.find('=');
    if (equals == std::string_view::npos) {
        if (StartsWith(t, "[-"))
            texts.push_back("a key in the deletion form \"[-...]\" is written, not deleted: deletions go into a key "
                            "file of [DeleteRegEntries]");
        return texts;
    }
    const std::string_view value = TrimView(t.substr(equals + 1), kBlanks);
    if (value.empty() || value.front() != '"') return texts;
    for (std::string_view type : {"dword:", "hex:", "hex(2):", "hex(7):"})
        if (Contains(value, type)) {
            texts.push_back("the quoted value holds " + Quote(type) + ": it is read as that type, not as a string");
            return texts;
        }
    const size_t last = value.rfind('"');
    if (last == 0) return texts;
    const std::string_view quoted = value.substr(1, last - 1);
    if (Contains(quoted, "\\\\"))
        texts.push_back("a doubled backslash in a quoted value stays doubled (the reduced format does not undo "
                        "the export's escapes): write one backslash");
    if (!quoted.empty() && (quoted.front() == ' ' || quoted.front() == '\t' || quoted.back() == ' ' ||
                            quoted.back() == '\t'))
        texts.push_back("blanks at the ends of a quoted value are dropped");
    return texts;
}

int32_t FindRejectedLine(std::string_view fileText, std::string_view rejected, bool keyFile) {
    const std::string_view wanted = TrimView(rejected, kBlanks);
    const std::vector<std::string_view> lines = SplitLines(fileText);
    auto content = [keyFile](std::string_view line) {
        if (keyFile) line = line.substr(0, line.find(';'));
        return TrimView(line, kBlanks);
    };
    for (size_t k = 0; k < lines.size(); ++k)
        if (content(lines[k]) == wanted) return static_cast<int32_t>(k + 1);
    // A line that comments were joined into starts with the first line's text.
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::string_view own = content(lines[k]);
        if (!own.empty() && StartsWith(wanted, own)) return static_cast<int32_t>(k + 1);
    }
    return 0;
}

int32_t FindKeyLine(std::string_view fileText, std::string_view keyPath, size_t& fromLine) {
    const std::vector<std::string_view> lines = SplitLines(fileText);
    for (size_t k = fromLine; k < lines.size(); ++k) {
        const std::string_view line = lines[k].substr(0, lines[k].find(';'));
        const size_t open = line.find('[');
        if (open == std::string_view::npos) continue;
        std::string_view key = line.substr(open + 1);
        key = TrimView(key.substr(0, key.find(']')), " \r\n");
        if (key != keyPath) continue;
        fromLine = k + 1;
        return static_cast<int32_t>(k + 1);
    }
    return 0;
}

}  // namespace dp
