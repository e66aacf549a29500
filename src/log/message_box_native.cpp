// Native (non-Windows) build only.
#include "log/message_box.h"

namespace dp {

int PlatformMessageBox(const std::string&, const std::string&, unsigned style) {
    // No user to ask: the first button's answer.
    return (style & 0xF) == kBoxYesNo ? kAnswerYes : kAnswerOk;
}

}  // namespace dp
