#include "log/message_box.h"

#include <mutex>

namespace dp {
namespace {
std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}
MessageBoxHandler& Handler() {
    static MessageBoxHandler h;
    return h;
}
}  // namespace

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
    MessageBoxHandler h;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        h = Handler();
    }
    if (h) return h(text, caption, style);
    return PlatformMessageBox(text, caption, style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    MessageBoxHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}

}  // namespace dp
