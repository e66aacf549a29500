#include "base/reporting_base.h"

#include <atomic>

#include "base/log_text.h"

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

}  // namespace dp
