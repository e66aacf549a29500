#pragma once
// Move-only owners of Win32 handles, keys, finds and modules.
#include <windows.h>

#include <utility>

namespace dp {

template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;
    UniqueResource() = default;
    explicit UniqueResource(Handle h) : h_(h) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, Traits::Invalid());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }
    Handle release() { return std::exchange(h_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) {
        if (h_ != Traits::Invalid()) Traits::Close(h_);
        h_ = h;
    }
    // For APIs that return the handle through a pointer.
    Handle* put() {
        reset();
        return &h_;
    }

private:
    Handle h_ = Traits::Invalid();
};

struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE when none
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct KernelHandleTraits {  // threads, processes, mappings: NULL when none
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};
struct FindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};
struct ViewTraits {
    using Handle = void*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { UnmapViewOfFile(h); }
};

template <typename Interface>
struct ComTraits {  // a COM interface pointer: Release when done
    using Handle = Interface*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { h->Release(); }
};

using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueKey = UniqueResource<RegKeyTraits>;
using UniqueFind = UniqueResource<FindTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueView = UniqueResource<ViewTraits>;
template <typename Interface>
using UniqueCom = UniqueResource<ComTraits<Interface>>;

// The process and thread that CreateProcess hands back, each closed by its
// owner: fill raw() in the call, then take() the owners.
class StartedProcess {
public:
    PROCESS_INFORMATION* raw() { return &info_; }
    // After a successful CreateProcess: the owners of both handles.
    void take() {
        process.reset(info_.hProcess);
        thread.reset(info_.hThread);
        info_.hProcess = info_.hThread = nullptr;
    }
    UniqueHandle process;
    UniqueHandle thread;

private:
    PROCESS_INFORMATION info_{};
};

}  // namespace dp
