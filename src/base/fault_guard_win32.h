#pragma once
// Runs a piece of work so that a fault inside it ends only that work: a C++
// exception, or a processor fault such as an access violation or a division
// by zero (caught through a structured exception handler of its own).
//
// After a processor fault the work's stack frames are left without running
// their destructors, so whatever it was changing may be half-changed: the
// caller must give up that work and treat the data it touched as lost.
#include <exception>
#include <new>

namespace dp {

enum class GuardOutcome {
    kCompleted,      // the work returned normally
    kCxxException,   // it threw
    kOutOfMemory,    // it threw for want of memory (std::bad_alloc)
    kProcessorFault  // access violation, division by zero, illegal instruction, ...
};

namespace detail {
// Calls fn(context); returns false when a processor fault ended the call.
// fn must not throw.
bool CallWithFaultHandler(void (*fn)(void*), void* context);
void NoteProcessorFault();
}  // namespace detail

// Whether any guarded work of this process ended in a processor fault. After
// one, the process must not tear down the data that work touched (its
// destructors could fault again): it ends without destroying it.
bool ProcessorFaultOccurred();

template <typename Work>
GuardOutcome RunGuarded(Work&& work, int& result) {
    struct Call {
        Work& work;
        int& result;
        GuardOutcome outcome;
    };
    Call call{work, result, GuardOutcome::kCompleted};
    void (*trampoline)(void*) = [](void* p) {
        Call& c = *static_cast<Call*>(p);
        try {
            c.result = c.work();
        } catch (const std::bad_alloc&) {
            c.outcome = GuardOutcome::kOutOfMemory;
        } catch (...) {
            c.outcome = GuardOutcome::kCxxException;
        }
    };
    if (!detail::CallWithFaultHandler(trampoline, &call)) {
        detail::NoteProcessorFault();
        return GuardOutcome::kProcessorFault;
    }
    return call.outcome;
}

}  // namespace dp
