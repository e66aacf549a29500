#pragma once
// Text of log lines, and writing a text to an open log.
#include <cstdint>
#include <cstdio>
#include <string>

namespace dp {

// "%s %s.\n" with the message and the detail, or, with an error code,
// "%s %s. %s\n" with the system's text for it.
std::string FormatLogMessage(uint32_t errorCode, int messageId, const std::string& detail);

// Writes the text unchanged (no format interpretation) and flushes.
void WriteLogText(std::FILE* log, const std::string& text);

}  // namespace dp
