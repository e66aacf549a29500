#include "log/error_messages.h"

#include "log/message_box.h"
#include "base/system_text.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

std::string Cut(std::string text) {
    if (text.size() > kMaxBoxText) text.resize(kMaxBoxText);
    return text;
}

std::string CaptionFor(uint32_t errorCode) { return errorCode ? LoadMessage(kMsgErrorCaption) : std::string(); }

}  // namespace

std::string ComposeError(uint32_t errorCode, const std::string& message) {
    std::string text = message + ".";
    if (errorCode) text += " " + SystemErrorText(errorCode);
    return Cut(std::move(text));
}

std::string ComposeErrorDetail(uint32_t errorCode, const std::string& message,
                               const std::string& detail) {
    std::string text = message + " " + detail + ".";
    if (errorCode) text += " " + SystemErrorText(errorCode);
    return Cut(std::move(text));
}

int ShowError(uint32_t errorCode, int messageId, unsigned style) {
    return ShowMessageBox(ComposeError(errorCode, LoadMessage(messageId)), CaptionFor(errorCode),
                          style);
}

int ShowErrorDetail(uint32_t errorCode, int messageId, const std::string& detail, unsigned style) {
    return ShowMessageBox(ComposeErrorDetail(errorCode, LoadMessage(messageId), detail),
                          CaptionFor(errorCode), style);
}

int ShowErrorText(uint32_t errorCode, const std::string& text, unsigned style) {
    return ShowMessageBox(ComposeError(errorCode, text), CaptionFor(errorCode), style);
}

}  // namespace dp
