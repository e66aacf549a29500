#include "base/run_flags.h"

namespace dp {

std::atomic<int32_t> stopRequested{0};
std::atomic<uint8_t> installCancelled{0};

}  // namespace dp
