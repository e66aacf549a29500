#pragma once
// The two process-wide flags that cross threads. Each has one writer thread:
//   stopRequested     written on the main thread by the initialisation
//                     window's Stop button (1); the script-reading thread
//                     takes the request (exchange to 0) when it asks the user
//                     and puts it back (1) when the user confirms.
//   installCancelled  written on the main thread by the progress dialog's
//                     Cancel (1), by the install phase's disk-full stop (1,
//                     on the worker, which the main thread then only reads),
//                     and cleared when an install context is created.
// Everyone else only reads them.
#include <atomic>
#include <cstdint>

namespace dp {

// 0 none; 1 Stop pressed (stays 1 once the user confirmed it).
extern std::atomic<int32_t> stopRequested;

// 0 none; 1 the install was cancelled (Cancel button, Esc, or a full disk).
extern std::atomic<uint8_t> installCancelled;

}  // namespace dp
