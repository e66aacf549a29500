#include "script/script_text.h"

#include "base/text.h"

#include <limits>

#include "base/reporting_base.h"

namespace dp {


std::string ScriptTextFromBytes(std::string_view bytes) {
    size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    return std::string(bytes);
}

namespace {

// Collects where the lines a removal writes came from: the first character
// written on a line (or the end of the text) tells the input line, which the
// origins the input already had carry on to the original line.
class OriginTracker {
public:
    explicit OriginTracker(LineOrigins* origins) : out_(origins) {
        if (!out_) return;
        previous_ = std::move(*out_);
        out_->clear();
    }
    // A character of the input's line `inputLine` (from 1) was written.
    void Written(char c, int32_t inputLine) {
        if (atLineStart_) Push(inputLine);
        atLineStart_ = c == '\n';
    }
    // The line begun last was taken out again (with the line end before it
    // kept, the next character begins a line).
    void LineDropped() {
        if (!out_->empty()) out_->pop_back();
        atLineStart_ = true;
    }
    void End(int32_t inputLine) {
        if (atLineStart_) Push(inputLine);
    }

private:
    void Push(int32_t inputLine) {
        if (previous_.empty()) {
            out_->push_back(inputLine);
            return;
        }
        const size_t k = static_cast<size_t>(inputLine > 0 ? inputLine - 1 : 0);
        out_->push_back(k < previous_.size() ? previous_[k] : previous_.back());
    }

    LineOrigins* out_;
    LineOrigins previous_;
    bool atLineStart_ = true;
};

// The removals, written once; with kTrack they also tell the tracker each
// character written (the run's reading does without, at no cost).
template <bool kTrack>
void RemoveCommentsTracked(std::string& text, OriginTracker& lines) {
    // One pass, writing in place: a ";" skips everything up to and including
    // the next line feed. Removing the first comment again and again from the
    // start gives the same text, since nothing before it is ever touched.
    int32_t line = 1;  // the input line of text[in]
    size_t out = 0;
    size_t in = 0;
    const size_t size = text.size();
    while (in < size) {
        char c = text[in];
        if (c == ';') {
            size_t lf = text.find('\n', in + 1);
            if (lf == std::string::npos) break;  // the rest of the text is a comment
            in = lf + 1;
            if constexpr (kTrack) ++line;
            continue;
        }
        if constexpr (kTrack) {
            lines.Written(c, line);
            if (c == '\n') ++line;
        }
        text[out++] = c;
        ++in;
    }
    text.resize(out);
    if constexpr (kTrack) lines.End(line);
}

template <bool kTrack>
void RemoveEmptyLinesTracked(std::string& text, OriginTracker& lines) {
    // One pass, writing in place: whenever the text written so far ends with
    // "\r\n\r\n", its last pair is dropped. The kept text never holds the
    // sequence, so this meets each occurrence in the order the repeated
    // "replace the first one" would, with the same result.
    int32_t line = 1;
    size_t out = 0;
    for (size_t in = 0; in < text.size(); ++in) {
        const char c = text[in];
        if constexpr (kTrack) {
            lines.Written(c, line);
            if (c == '\n') ++line;
        }
        text[out++] = c;
        if (out >= 4 && text[out - 1] == '\n' && text[out - 2] == '\r' && text[out - 3] == '\n' &&
            text[out - 4] == '\r') {
            out -= 2;
            if constexpr (kTrack) lines.LineDropped();
        }
    }
    text.resize(out);
    if constexpr (kTrack) lines.End(line);
}

}  // namespace

void RemoveComments(std::string& text, LineOrigins* origins) {
    OriginTracker lines(origins);
    if (origins)
        RemoveCommentsTracked<true>(text, lines);
    else
        RemoveCommentsTracked<false>(text, lines);
}

void RemoveEmptyLines(std::string& text, LineOrigins* origins) {
    OriginTracker lines(origins);
    if (origins)
        RemoveEmptyLinesTracked<true>(text, lines);
    else
        RemoveEmptyLinesTracked<false>(text, lines);
}

namespace {

// Where the body of the section with this header lies in the text: from
// right after the header's first occurrence to the next "[" that is not
// followed by "HKEY_", or to the end. False when the header does not occur.
bool FindSectionBody(std::string_view text, std::string_view header, size_t& begin, size_t& end) {
    const size_t at = text.find(header);
    if (at == std::string_view::npos) return false;
    begin = at + header.size();
    end = begin;
    for (;;) {
        end = text.find('[', end);
        if (end == std::string_view::npos) {
            end = text.size();
            return true;
        }
        if (text.compare(end + 1, 5, "HKEY_") != 0) return true;
        ++end;
    }
}

}  // namespace

bool FindSectionText(std::string_view text, std::string_view header, std::string& section) {
    section.clear();
    size_t begin = 0, end = 0;
    if (!FindSectionBody(text, header, begin, end)) return false;
    section.assign(text.substr(begin, end - begin));
    SectionTrim(section);
    return true;
}

bool TakeSection(ReportingBase& reporter, std::string_view header, std::string& section, std::string& text) {
    if (!ExtractSection(reporter, header, section, text)) return false;
    size_t begin = 0, end = 0;
    FindSectionBody(text, header, begin, end);
    // A body holds no "[" that could begin a header: the headers after it
    // are found as before.
    if (end - begin >= kTakenSectionSize) {
        text.erase(begin, end - begin);
        text.shrink_to_fit();
    }
    return true;
}

bool ExtractSection(ReportingBase& reporter, std::string_view header, std::string& section,
                    std::string_view text) {
    bool found = FindSectionText(text, header, section);
    if (found) reporter.ShowProgressLine(std::string(header), kSectionLine);
    return found;
}

std::string& SectionTrim(std::string& text) { return TrimChars(text, " \n\r\t", " \n\r"); }
std::string& VariableTrim(std::string& text) { return TrimChars(text, " \n\r"); }
std::string& FontSubstituteTrim(std::string& text) { return TrimChars(text, "\" \n\r\t"); }
std::string& RegFileTrim(std::string& text) { return TrimChars(text, " \n\r\t"); }

void ApplyParameterLine(std::string_view key, std::string_view value, ParameterTargets targets) {
    auto has = [](std::string_view text, std::string_view word) {
        return text.find(word) != std::string_view::npos;
    };
    if (has(key, "ROLLBACK")) targets.rollback = has(value, "YES");
    if (has(key, "INSTALLTYPE") && has(value, "TESTINSTALL")) targets.testInstall = 1;
    if (has(key, "LOG")) {
        if (has(value, "FULL")) targets.logLevel = LogLevel::Full;
        if (has(value, "NONE")) targets.logLevel = LogLevel::None;
    }
    if (has(key, "LOGFILE")) {
        targets.logPath.assign(value);
        VariableTrim(targets.logPath);
    }
    // A value that is no number leaves the size as it was: read as 0, it
    // would empty the log at the end of every phase.
    if (has(key, "LOGSIZE"))
        if (const std::optional<int32_t> size = ParseWholeDecimal(value)) targets.logSizeKB = *size;
    if (has(key, "RUNTIMEOUT"))
        if (const std::optional<int32_t> seconds = ParseWholeDecimal(value))
            targets.runTimeoutSeconds = *seconds > 0 ? *seconds : 0;
    if (has(key, "ARCHITECTURE")) {
        if (has(value, "X64")) targets.sixtyFourBit = true;
        if (has(value, "X86")) targets.sixtyFourBit = false;
    }
}

}  // namespace dp
