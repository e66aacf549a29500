#pragma once
// Waiting for a worker thread on the main thread without hanging the windows.
#include <windows.h>

namespace dp {

// Blocks until object is signalled, serving the calling thread's messages
// meanwhile: messages sent by other threads (the workers' window updates),
// the dialog's keyboard handling (IsDialogMessageA; dialog may be nullptr)
// and every other posted message. Quit messages posted by the windows do not
// end the wait: only the object does. Uses no processor time while nothing
// happens. Returns false when the wait itself fails.
bool WaitPumping(HANDLE object, HWND dialog);

// Removes pending quit messages of the calling thread, so that a window's
// quit request does not end the next message box or dialog loop.
void DiscardQuitMessage();

// Runs work(argument) on a new thread and waits for its end with WaitPumping.
// True with the thread's exit code when it ran; false with the system's error
// when it could not start (nothing ran then).
bool RunWorkerThread(LPTHREAD_START_ROUTINE work, void* argument, HWND dialog, DWORD& exitCode,
                     DWORD& error);

}  // namespace dp
