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
