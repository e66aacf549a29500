#pragma once
// Reports that other programs read (the plan of a run, a verification of a
// machine): rows of text fields under named columns, written either as
// tab-separated lines or as JSON. Pure text functions.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/system_text.h"

namespace dp {

enum class ReportForm { kTabs, kJson };

// JSON for a path that ends in ".json" (in any case: the command line is
// upper-cased; blanks after it do not count), tab-separated lines for every
// other path.
ReportForm ReportFormOf(std::string_view path);

// Reads a text of the system code page as UTF-16.
using CodePageReader = std::u16string (*)(std::string_view);

// Every row is written with one field per column: missing fields are empty,
// fields beyond the columns are left out.
using ReportRows = std::vector<std::vector<std::string>>;

// Writes a report row by row, to a sink that takes the text in pieces (a
// file, a string): the same text FormatReport gives for all the rows at once,
// without holding them. The sink's answer false (nothing more can be written)
// is kept: ok() tells whether every piece was taken.
class ReportWriter {
public:
    using Sink = std::function<bool(std::string_view)>;
    ReportWriter(ReportForm form, const std::vector<std::string>& columns, Sink sink,
                 CodePageReader readCodePage = FromSystemCodePage);
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // One row: one field per column (missing fields empty, fields beyond the
    // columns left out).
    void Row(const std::vector<std::string>& fields);
    // The end of the report; everything goes to the sink. Whether every
    // piece was taken.
    bool Finish();
    bool ok() const { return ok_; }

private:
    void Flush();

    ReportForm form_;
    size_t columns_;
    std::vector<std::string> names_;  // JSON: each column's name with its colon
    Sink sink_;
    CodePageReader readCodePage_;
    std::string pending_;
    size_t rows_ = 0;
    bool ok_ = true;
};

// A header line of the column names and one line per row, fields separated by
// tabs; tabs and line ends inside a field become blanks. The bytes stay those
// of the system code page.
std::string FormatTabRows(const std::vector<std::string>& columns, const ReportRows& rows);

// An array with one object per row (one per line), its members named by the
// columns in their order. The text is ASCII only, and so valid UTF-8 and
// valid in any code page: every character beyond ASCII is written as a
// \uXXXX escape of its UTF-16 form, read from the system code page by
// readCodePage (a text it cannot read is taken as Latin-1, byte by byte).
std::string FormatJsonRows(const std::vector<std::string>& columns, const ReportRows& rows,
                           CodePageReader readCodePage = FromSystemCodePage);

// FormatTabRows or FormatJsonRows.
std::string FormatReport(ReportForm form, const std::vector<std::string>& columns, const ReportRows& rows,
                         CodePageReader readCodePage = FromSystemCodePage);

// One text as a JSON string, quotes included: quotation mark, backslash and
// control characters escaped (\b \f \n \r \t, else \u00XX), characters
// beyond ASCII as \uXXXX (as FormatJsonRows).
std::string JsonString(std::string_view text, CodePageReader readCodePage = FromSystemCodePage);

}  // namespace dp
