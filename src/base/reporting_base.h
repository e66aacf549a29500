#pragma once
// Common base of the script model, its lists, the variable table, the install
// context and the module selection dialog: progress display, the Stop poll and
// the log writers.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

// Where progress lines and Stop polls go. The initialisation window installs
// one while it exists; without one the progress operations do nothing.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // kind 1: "Reading section: " line; any other kind: "Checking item: " line.
    virtual void ShowProgressLine(const std::string& text, int kind) = 0;
    // Moves the bar and handles a pending Stop; sets stop to 1 when the user
    // confirmed it.
    virtual void PollStop(int done, int total, int32_t& stop) = 0;
};

// Installs (or, with nullptr, removes) the process-wide progress sink.
void SetProgressSink(ProgressSink* sink);

// Progress line kinds.
constexpr int kSectionLine = 1;
constexpr int kItemLine = 0;

class ReportingBase {
public:
    virtual ~ReportingBase() = default;

    void ShowProgressLine(const std::string& text, int kind);
    // Does nothing when there is no initialisation window or stop is already 1.
    void PollStop(int done, int total, int32_t& stop);

    // One message line: "%s %s.\n", or with an error code "%s %s. %s\n" with
    // the system's text. Nothing when log is null. Flushed.
    void LogMessage(uint32_t errorCode, int messageId, const std::string& detail, std::FILE* log);
    // Writes the text unchanged and flushes. Nothing when log is null.
    void LogText(std::FILE* log, const std::string& text);
};

// A section parser's walk over its lines: each item is shown on the
// initialisation window and moves its bar; a Stop that the user confirms
// ends the walk. The parser's own stop flag starts as the process's request.
class SectionWalk {
public:
    SectionWalk(ReportingBase& reporter, std::string_view text);

    const std::vector<std::string_view>& lines() const { return lines_; }
    // Shows the item of the next line and moves the bar; false once the user
    // has confirmed a Stop (the parser then reads no further line).
    bool Next(const std::string& item);
    // The end of the walk: the bar is reset. 1, or 0 when the user stopped.
    int Finish();

private:
    ReportingBase& reporter_;
    std::vector<std::string_view> lines_;
    int total_;
    int done_ = 0;
    int32_t stop_;
};

}  // namespace dp
