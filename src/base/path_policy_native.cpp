// The path policy of the portable core's native build: the rules on the text,
// with the path's own length standing for its wide form.
#include "base/path_policy.h"

namespace dp {

uint32_t CheckPath(const std::string& path) {
    if (const uint32_t refused = CheckPathText(path)) return refused;
    return path.size() + 4 >= kMaxWidePath ? kErrorNameTooLong : 0;  // + "\\?\"
}

}  // namespace dp
