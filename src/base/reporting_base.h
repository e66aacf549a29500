#pragma once
// Common base of the script model, its lists, the variable table, the install
// context and the module selection dialog: progress display, the Stop poll and
// the log writers.
#include <cstdint>
#include <cstdio>
#include <string>

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

}  // namespace dp
