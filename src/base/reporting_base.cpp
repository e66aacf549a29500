#include "base/reporting_base.h"

#include <atomic>

#include "base/log_text.h"
#include "base/run_flags.h"
#include "base/text.h"

namespace dp {
namespace {
std::atomic<ProgressSink*> g_sink{nullptr};
}

void SetProgressSink(ProgressSink* sink) { g_sink.store(sink); }

void ReportingBase::ShowProgressLine(const std::string& text, int kind) {
    if (ProgressSink* sink = g_sink.load()) sink->ShowProgressLine(text, kind);
}

void ReportingBase::PollStop(int done, int total, int32_t& stop) {
    ProgressSink* sink = g_sink.load();
    if (!sink || stop == 1) return;
    sink->PollStop(done, total, stop);
}

void ReportingBase::LogMessage(uint32_t errorCode, int messageId, const std::string& detail,
                               std::FILE* log) {
    if (!log) return;
    WriteLogText(log, FormatLogMessage(errorCode, messageId, detail));
}

void ReportingBase::LogText(std::FILE* log, const std::string& text) {
    if (!log) return;
    WriteLogText(log, text);
}

SectionWalk::SectionWalk(ReportingBase& reporter, std::string_view text)
    : reporter_(reporter), lines_(SplitLines(text)), total_(CountLines(text)), stop_(stopRequested.load()) {}

bool SectionWalk::Next(const std::string& item) {
    reporter_.ShowProgressLine(item, kItemLine);
    if (done_ < total_) ++done_;
    reporter_.PollStop(done_, total_, stop_);
    return stop_ != 1;
}

int SectionWalk::Finish() {
    reporter_.PollStop(0, total_, stop_);
    return stop_ == 1 ? 0 : 1;
}

}  // namespace dp
