#include "log/message_box.h"

#include "base/seam.h"

namespace dp {
namespace {
Seam<int(const std::string&, const std::string&, unsigned)> g_box(&PlatformMessageBox);
}  // namespace

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
    return g_box(text, caption, style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return g_box.Replace(std::move(handler));
}

}  // namespace dp
