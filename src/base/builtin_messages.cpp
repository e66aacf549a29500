#include "base/system_text.h"

namespace dp {

const char* BuiltInMessage(int id) {
    switch (id) {
#define MSG(num, text) \
    case num:          \
        return text;
#include "resources/messages.def"
#undef MSG
        default:
            return nullptr;
    }
}

}  // namespace dp
