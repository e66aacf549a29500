#include "script/script_text.h"

#include <limits>

#include "script/reporting_base.h"

namespace dp {

const char* const kSectionHeaders[kSectionCount] = {
    "[Parameters]",
    "[Strings]",
    "[SetFontSubstitutes]",
    "[DeleteFontSubstitutes]",
    "[InstallFiles]",
    "[InstallRegEntries]",
    "[DeleteRegEntries]",
    "[RunFileFirst]",
    "[DeleteFilesFirst]",
    "[DeleteRegisterFiles]",
    "[DeleteFonts]",
    "[InstallSystemFiles]",
    "[InstallSystemRegisterFiles]",
    "[InstallFonts]",
    "[AlwaysInstallFonts]",
    "[AlwaysInstallFiles]",
    "[InstallRegisterFiles]",
    "[AlwaysInstallRegisterFiles]",
    "[InstallShortcuts]",
    "[DeleteShortcuts]",
    "[CreateDirectory]",
    "[DeleteDirectory]",
    "[DeleteFilesEnd]",
    "[RunFileEnd]",
};

std::string ScriptTextFromBytes(std::string_view bytes) {
    size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    return std::string(bytes);
}

void RemoveComments(std::string& text) {
    // One pass, writing in place: a ";" skips everything up to and including
    // the next line feed. Removing the first comment again and again from the
    // start gives the same text, since nothing before it is ever touched.
    size_t out = 0;
    size_t in = 0;
    const size_t size = text.size();
    while (in < size) {
        char c = text[in];
        if (c == ';') {
            size_t lf = text.find('\n', in + 1);
            if (lf == std::string::npos) break;  // the rest of the text is a comment
            in = lf + 1;
            continue;
        }
        text[out++] = c;
        ++in;
    }
    text.resize(out);
}

void RemoveEmptyLines(std::string& text) {
    // One pass, writing in place: whenever the text written so far ends with
    // "\r\n\r\n", its last pair is dropped. The kept text never holds the
    // sequence, so this meets each occurrence in the order the repeated
    // "replace the first one" would, with the same result.
    size_t out = 0;
    for (size_t in = 0; in < text.size(); ++in) {
        text[out++] = text[in];
        if (out >= 4 && text[out - 1] == '\n' && text[out - 2] == '\r' && text[out - 3] == '\n' &&
            text[out - 4] == '\r') {
            out -= 2;
        }
    }
    text.resize(out);
}

bool FindSectionText(std::string_view text, std::string_view header, std::string& section) {
    section.clear();
    size_t at = text.find(header);
    if (at == std::string_view::npos) return false;
    size_t begin = at + header.size();
    size_t end = begin;
    for (;;) {
        end = text.find('[', end);
        if (end == std::string_view::npos) {
            end = text.size();
            break;
        }
        if (text.compare(end + 1, 5, "HKEY_") != 0) break;
        ++end;
    }
    section.assign(text.substr(begin, end - begin));
    SectionTrim(section);
    return true;
}

bool ExtractSection(ReportingBase& reporter, std::string_view header, std::string& section,
                    std::string_view text) {
    bool found = FindSectionText(text, header, section);
    if (found) reporter.ShowProgressLine(std::string(header), kSectionLine);
    return found;
}

namespace {

bool InSet(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

std::string& TrimWith(std::string& text, std::string_view atEnd, std::string_view atBegin) {
    size_t end = text.size();
    while (end > 0 && InSet(text[end - 1], atEnd)) --end;
    text.resize(end);
    size_t begin = 0;
    while (begin < text.size() && InSet(text[begin], atBegin)) ++begin;
    text.erase(0, begin);
    return text;
}

}  // namespace

std::string& SectionTrim(std::string& text) { return TrimWith(text, " \n\r\t", " \n\r"); }
std::string& VariableTrim(std::string& text) { return TrimWith(text, " \n\r", " \n\r"); }
std::string& FontSubstituteTrim(std::string& text) {
    return TrimWith(text, "\" \n\r\t", "\" \n\r\t");
}
std::string& RegFileTrim(std::string& text) { return TrimWith(text, " \n\r\t", " \n\r\t"); }

int32_t ParseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so INT32_MIN fits.
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < kMin) value = kMin - 1;  // saturate; clamped below
    }
    if (negative) return value < kMin ? std::numeric_limits<int32_t>::min()
                                      : static_cast<int32_t>(value);
    if (value < -static_cast<int64_t>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(-value);
}

int32_t CountLines(std::string_view text) {
    int64_t lines = 1;
    for (char c : text)
        if (c == '\n') ++lines;
    return lines > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                        : static_cast<int32_t>(lines);
}

void ApplyParameterLine(std::string_view key, std::string_view value, ParameterTargets targets) {
    auto has = [](std::string_view text, std::string_view word) {
        return text.find(word) != std::string_view::npos;
    };
    if (has(key, "INSTALLTYPE") && has(value, "TESTINSTALL")) targets.testInstall = 1;
    if (has(key, "LOG")) {
        if (has(value, "FULL")) targets.logLevel = 1;
        if (has(value, "NONE")) targets.logLevel = 0;
    }
    if (has(key, "LOGFILE")) {
        targets.logPath.assign(value.substr(0, kMaxLogFileValue));
        VariableTrim(targets.logPath);
    }
    if (has(key, "LOGSIZE")) targets.logSizeKB = ParseDecimal(value);
}

}  // namespace dp
