#pragma once
// Waiting for a worker thread on the main thread without hanging the windows.
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace dp {

// Blocks until object is signalled, serving the calling thread's messages
// meanwhile: messages sent by other threads (the workers' window updates),
// the dialog's keyboard handling (IsDialogMessageA; dialog may be nullptr)
// and every other posted message. Quit messages posted by the windows do not
// end the wait: only the object does. Uses no processor time while nothing
// happens. Returns false when the wait itself fails.
bool WaitPumping(HANDLE object, HWND dialog);

// How a bounded wait ended.
enum class WaitEnd { kSignalled, kCancelled, kTimedOut, kFailed };

// WaitPumping with two ways out: the cancel flag turning non-zero (seen
// within 100 ms; may be null) and a limit in milliseconds (0: none).
WaitEnd WaitPumpingUntil(HANDLE object, const std::atomic<uint8_t>* cancelled, uint32_t limitMs);

// Removes pending quit messages of the calling thread, so that a window's
// quit request does not end the next message box or dialog loop.
void DiscardQuitMessage();

// Runs work(argument) on a new thread and waits for its end with WaitPumping.
// True with the thread's exit code when it ran; false with the system's error
// when it could not start (nothing ran then).
bool RunWorkerThread(LPTHREAD_START_ROUTINE work, void* argument, HWND dialog, DWORD& exitCode,
                     DWORD& error);

}  // namespace dp
