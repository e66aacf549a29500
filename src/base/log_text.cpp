#include "base/log_text.h"

#include "base/system_text.h"

namespace dp {

std::string FormatLogMessage(uint32_t errorCode, int messageId, const std::string& detail) {
    std::string line = LoadMessage(messageId);
    line += ' ';
    line += detail;
    line += '.';
    if (errorCode != 0) {
        line += ' ';
        line += SystemErrorText(errorCode);
    }
    line += '\n';
    return line;
}

void WriteLogText(std::FILE* log, const std::string& text) {
    if (!log) return;
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), log);
    std::fflush(log);
}

}  // namespace dp
