#include "base/report_format.h"

#include <algorithm>

#include "base/text.h"

namespace dp {
namespace {

const char kHexDigits[] = "0123456789abcdef";

// Appends one UTF-16 unit, escaped as a JSON string needs it.
void AppendJsonUnit(std::string& out, char16_t unit) {
    switch (unit) {
    case u'"': out += "\\\""; return;
    case u'\\': out += "\\\\"; return;
    case u'\b': out += "\\b"; return;
    case u'\f': out += "\\f"; return;
    case u'\n': out += "\\n"; return;
    case u'\r': out += "\\r"; return;
    case u'\t': out += "\\t"; return;
    default: break;
    }
    if (unit >= 0x20 && unit < 0x80) {
        out += static_cast<char>(unit);
        return;
    }
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(unit >> shift) & 0xF];
}

std::string TabField(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return text;
}

const std::string& FieldAt(const std::vector<std::string>& row, size_t column) {
    static const std::string kEmpty;
    return column < row.size() ? row[column] : kEmpty;
}

}  // namespace

ReportForm ReportFormOf(std::string_view path) {
    constexpr std::string_view kJson = ".json";
    while (!path.empty() && path.back() == ' ') path.remove_suffix(1);
    return path.size() >= kJson.size() && EqualNoCase(path.substr(path.size() - kJson.size()), kJson)
               ? ReportForm::kJson
               : ReportForm::kTabs;
}

std::string JsonString(std::string_view text, CodePageReader readCodePage) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        for (char c : text) AppendJsonUnit(out, static_cast<char16_t>(c));
    } else {
        // The whole text at once: in a double-byte code page the second byte
        // of a character may look like an ASCII one (a backslash).
        std::u16string wide = readCodePage ? readCodePage(text) : std::u16string();
        if (wide.empty()) {
            for (char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
        }
        for (char16_t unit : wide) AppendJsonUnit(out, unit);
    }
    out += '"';
    return out;
}

std::string FormatTabRows(const std::vector<std::string>& columns, const ReportRows& rows) {
    std::string text;
    for (size_t i = 0; i < columns.size(); ++i) text += (i ? "\t" : "") + TabField(columns[i]);
    text += '\n';
    for (const std::vector<std::string>& row : rows) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i) text += '\t';
            text += TabField(FieldAt(row, i));
        }
        text += '\n';
    }
    return text;
}

std::string FormatJsonRows(const std::vector<std::string>& columns, const ReportRows& rows,
                           CodePageReader readCodePage) {
    std::vector<std::string> names;
    names.reserve(columns.size());
    for (const std::string& column : columns) names.push_back(JsonString(column, readCodePage) + ":");
    std::string text = "[";
    for (size_t r = 0; r < rows.size(); ++r) {
        text += r ? ",\n{" : "\n{";
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i) text += ',';
            text += names[i];
            text += JsonString(FieldAt(rows[r], i), readCodePage);
        }
        text += '}';
    }
    text += "\n]\n";
    return text;
}

std::string FormatReport(ReportForm form, const std::vector<std::string>& columns, const ReportRows& rows,
                         CodePageReader readCodePage) {
    return form == ReportForm::kJson ? FormatJsonRows(columns, rows, readCodePage) : FormatTabRows(columns, rows);
}

}  // namespace dp
