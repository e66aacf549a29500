#include "base/message_wait_win32.h"

#include "base/handles_win32.h"

namespace dp {
namespace {

void ServePending(HWND dialog) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        if (dialog && IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

bool WaitPumping(HANDLE object, HWND dialog) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) {
            DiscardQuitMessage();
            return true;
        }
        if (r == WAIT_OBJECT_0 + 1) {
            ServePending(dialog);
            continue;
        }
        // The combined wait failed: never run ahead of the worker. Wait for it
        // in short steps, serving the windows between them.
        for (;;) {
            DWORD single = WaitForSingleObject(object, 50);
            if (single == WAIT_OBJECT_0) {
                DiscardQuitMessage();
                return true;
            }
            if (single == WAIT_FAILED) return false;  // not a waitable handle at all
            ServePending(dialog);
        }
    }
}

WaitEnd WaitPumpingUntil(HANDLE object, const std::atomic<uint8_t>* cancelled, uint32_t limitMs) {
    constexpr DWORD kCancelPollMs = 100;
    const DWORD start = GetTickCount();
    for (;;) {
        if (cancelled && cancelled->load() != 0) return WaitEnd::kCancelled;
        DWORD slice = kCancelPollMs;
        if (limitMs != 0) {
            const DWORD elapsed = GetTickCount() - start;  // right across the counter's wrap
            if (elapsed >= limitMs) return WaitEnd::kTimedOut;
            if (limitMs - elapsed < slice) slice = limitMs - elapsed;
        }
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &object, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) {
            DiscardQuitMessage();
            return WaitEnd::kSignalled;
        }
        if (r == WAIT_OBJECT_0 + 1) {
            ServePending(nullptr);
            continue;
        }
        if (r == WAIT_TIMEOUT) continue;
        // The combined wait failed: the object alone, in the same slices.
        const DWORD single = WaitForSingleObject(object, slice);
        if (single == WAIT_OBJECT_0) return WaitEnd::kSignalled;
        if (single == WAIT_FAILED) return WaitEnd::kFailed;
    }
}

void DiscardQuitMessage() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

}  // namespace dp

namespace dp {

bool RunWorkerThread(LPTHREAD_START_ROUTINE work, void* argument, HWND dialog, DWORD& exitCode,
                     DWORD& error) {
    exitCode = 0;
    error = 0;
    // Created suspended so that the handle is ours before the work begins.
    UniqueHandle thread(CreateThread(nullptr, 0, work, argument, CREATE_SUSPENDED, nullptr));
    if (!thread || ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        error = GetLastError();
        // A thread that was created but never resumed holds nothing; it ends
        // with the process.
        return false;
    }
    // Waited for to its end even after a Cancel: nothing the worker uses may
    // go away before.
    WaitPumping(thread.get(), dialog);
    GetExitCodeThread(thread.get(), &exitCode);
    return true;
}

}  // namespace dp
