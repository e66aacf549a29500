#pragma once
// A replaceable function: the program's own behaviour unless a test puts
// another in its place (to script a message box's answer, to fake a registry
// value, to produce a failure a real disk cannot easily give). Replacing and
// calling are safe from any thread.
#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

namespace dp {

template <typename Signature>
class Seam;

template <typename R, typename... Args>
class Seam<R(Args...)> {
public:
    using Function = std::function<R(Args...)>;

    explicit Seam(R (*standard)(Args...)) : standard_(standard) {}

    // Puts `replacement` in place (an empty one restores the standard
    // function); returns what was in place before (empty for the standard).
    Function Replace(Function replacement) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(current_, std::move(replacement));
    }

    R operator()(Args... args) const {
        Function f;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            f = current_;
        }
        if (f) return f(std::forward<Args>(args)...);
        return standard_(std::forward<Args>(args)...);
    }

private:
    R (*standard_)(Args...);
    mutable std::mutex mutex_;
    Function current_;
};

// Puts a replacement in place through `set` (which returns what was in place)
// while it lives, then puts that back.
template <typename F>
class Replaced {
public:
    Replaced(F (*set)(F), std::type_identity_t<F> replacement) : set_(set), old_(set(std::move(replacement))) {}
    ~Replaced() { set_(std::move(old_)); }
    Replaced(const Replaced&) = delete;
    Replaced& operator=(const Replaced&) = delete;

private:
    F (*set_)(F);
    F old_;
};

}  // namespace dp
