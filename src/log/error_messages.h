#pragma once
// Message boxes composed from a string-table message, a detail text and the
// system's explanation of an error code. All go through ShowMessageBox.
#include <cstdint>
#include <string>

namespace dp {

// Longest box text; a longer composition is cut to this length.
constexpr size_t kMaxBoxText = 780;

// "%s." with the message, or "%s. %s" with the system's text when errorCode != 0.
std::string ComposeError(uint32_t errorCode, const std::string& message);
// "%s %s." with message and detail, or "%s %s. %s" with the system's text.
std::string ComposeErrorDetail(uint32_t errorCode, const std::string& message,
                               const std::string& detail);

// Caption "Error" (message 129) when errorCode != 0, else empty. Return the
// button pressed.
int ShowError(uint32_t errorCode, int messageId, unsigned style);
int ShowErrorDetail(uint32_t errorCode, int messageId, const std::string& detail, unsigned style);
int ShowErrorText(uint32_t errorCode, const std::string& text, unsigned style);

}  // namespace dp
