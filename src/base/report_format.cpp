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

ReportWriter::ReportWriter(ReportForm form, const std::vector<std::string>& columns, Sink sink,
                           CodePageReader readCodePage)
    : form_(form), columns_(columns.size()), sink_(std::move(sink)), readCodePage_(readCodePage) {
    if (form_ == ReportForm::kTabs) {
        for (size_t i = 0; i < columns.size(); ++i) pending_ += (i ? "\t" : "") + TabField(columns[i]);
        pending_ += '\n';
        return;
    }
    names_.reserve(columns.size());
    for (const std::string& column : columns) names_.push_back(JsonString(column, readCodePage_) + ":");
    pending_ = "[";
}

void ReportWriter::Row(const std::vector<std::string>& row) {
    if (form_ == ReportForm::kTabs) {
        for (size_t i = 0; i < columns_; ++i) {
            if (i) pending_ += '\t';
            pending_ += TabField(FieldAt(row, i));
        }
        pending_ += '\n';
    } else {
        pending_ += rows_ ? ",\n{" : "\n{";
        for (size_t i = 0; i < columns_; ++i) {
            if (i) pending_ += ',';
            pending_ += names_[i];
            pending_ += JsonString(FieldAt(row, i), readCodePage_);
        }
        pending_ += '}';
    }
    ++rows_;
    // Handed on in pieces of some size, not line by line.
    if (pending_.size() >= (size_t{64} << 10)) Flush();
}

bool ReportWriter::Finish() {
    if (form_ == ReportForm::kJson) pending_ += "\n]\n";
    Flush();
    return ok_;
}

void ReportWriter::Flush() {
    if (!pending_.empty() && ok_) ok_ = sink_(pending_);
    pending_.clear();
}

namespace {

std::string FormatWhole(ReportForm form, const std::vector<std::string>& columns, const ReportRows& rows,
                        CodePageReader readCodePage) {
    std::string text;
    ReportWriter writer(form, columns, [&text](std::string_view piece) {
        text += piece;
        return true;
    }, readCodePage);
    for (const std::vector<std::string>& row : rows) writer.Row(row);
    writer.Finish();
    return text;
}

}  // namespace

std::string FormatTabRows(const std::vector<std::string>& columns, const ReportRows& rows) {
    return FormatWhole(ReportForm::kTabs, columns, rows, FromSystemCodePage);
}

std::string FormatJsonRows(const std::vector<std::string>& columns, const ReportRows& rows,
                           CodePageReader readCodePage) {
    return FormatWhole(ReportForm::kJson, columns, rows, readCodePage);
}

std::string FormatReport(ReportForm form, const std::vector<std::string>& columns, const ReportRows& rows,
                         CodePageReader readCodePage) {
    return form == ReportForm::kJson ? FormatJsonRows(columns, rows, readCodePage) : FormatTabRows(columns, rows);
}

}  // namespace dp
