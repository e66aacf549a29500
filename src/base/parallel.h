#pragma once
// Doing independent pieces of work on several threads at once. Under a
// system whose file calls each wait for another process (a server that
// keeps the file table), several callers keep it busy where one leaves it
// idle between calls.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace dp {

// Threads for work that mostly waits on file calls.
constexpr unsigned kFileCallThreads = 4;

// Calls work(i) once for every i in [0, count), on up to `threads` threads,
// the caller's among them, and returns when every call has returned. The
// order of the calls is not defined. When a call throws, no new calls start
// and the first exception is thrown again here, once all threads are done.
// When no thread can be started, the caller does all of it.
template <class Work>
void ParallelFor(size_t count, unsigned threads, const Work& work) {
    std::atomic<size_t> next{0};
    std::mutex failureLock;
    std::exception_ptr failure;
    const auto drain = [&] {
        for (size_t i = next++; i < count; i = next++) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(failureLock);
                if (!failure) failure = std::current_exception();
                next = count;
            }
        }
    };
    std::vector<std::thread> helpers;
    const size_t wanted = std::min<size_t>(count, threads ? threads : 1) - (count ? 1 : 0);
    try {
        for (size_t t = 0; t < wanted; ++t) helpers.emplace_back(drain);
    } catch (const std::system_error&) {
        // Fewer threads, same work.
    }
    drain();
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace dp
