#pragma once
// The process-wide flags that cross threads: the Stop request of the
// initialisation window and the cancellation of the install.
#include <atomic>
#include <cstdint>

namespace dp {

// 0 none; 1 Stop pressed (stays 1 once the user confirmed it).
extern std::atomic<int32_t> stopRequested;

// 0 none; 1 the install was cancelled (Cancel button, Esc, or a full disk).
extern std::atomic<uint8_t> installCancelled;

}  // namespace dp
