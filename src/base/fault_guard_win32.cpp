#include "base/fault_guard_win32.h"

#include <atomic>

#include <windows.h>
#include <excpt.h>

namespace dp {
namespace detail {

#if defined(__i386__)
namespace {

// An exception registration record (the two words the system walks through
// fs:[0]) followed by the place to return to.
struct GuardFrame {
    GuardFrame* next;
    void* handler;
    void* resume[5];  // __builtin_setjmp buffer
};

GuardFrame* ExceptionList() {
    GuardFrame* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetExceptionList(GuardFrame* head) {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

bool IsProcessorFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
            return true;
        default:
            return false;
    }
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher,
                                                      CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    if (!IsProcessorFault(record->ExceptionCode)) return ExceptionContinueSearch;
    auto* frame = static_cast<GuardFrame*>(establisher);
    // Unlink this frame (and any the work left above it), then go back to
    // the guarded call's frame, which is still live below us on the stack.
    SetExceptionList(frame->next);
    __builtin_longjmp(frame->resume, 1);
}

}  // namespace

__attribute__((noinline)) bool CallWithFaultHandler(void (*fn)(void*), void* context) {
    GuardFrame frame;
    frame.next = ExceptionList();
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    if (__builtin_setjmp(frame.resume)) return false;  // arrived from GuardHandler
    SetExceptionList(&frame);
    fn(context);
    SetExceptionList(frame.next);
    return true;
}

#else
// Other targets: C++ exceptions only.
bool CallWithFaultHandler(void (*fn)(void*), void* context) {
    fn(context);
    return true;
}
#endif

namespace {
std::atomic<bool> g_processorFault{false};
}

void NoteProcessorFault() { g_processorFault.store(true); }

}  // namespace detail

bool ProcessorFaultOccurred() { return detail::g_processorFault.load(); }

}  // namespace dp
