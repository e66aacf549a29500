#pragma once
// The result of a system call as a value: the system's error code, 0 for
// success. It cannot be dropped unseen: a caller that has nothing to do with
// a failure says so with (void).
#include <cstdint>

namespace dp {

class [[nodiscard]] Status {
public:
    constexpr Status() = default;
    constexpr explicit Status(uint32_t code) : code_(code) {}

    constexpr bool ok() const { return code_ == 0; }
    constexpr uint32_t code() const { return code_; }
    // "Not found" of a file, a folder or a registry key or value: the thing
    // asked for is not there.
    constexpr bool notFound() const { return code_ == 2 || code_ == 3; }

    friend constexpr bool operator==(Status a, Status b) { return a.code_ == b.code_; }

private:
    uint32_t code_ = 0;
};

}  // namespace dp
