#include <windows.h>

#include "log/message_box.h"

namespace dp {

int PlatformMessageBox(const std::string& text, const std::string& caption, unsigned style) {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), style & ~kBoxNotAnError);
}

}  // namespace dp
