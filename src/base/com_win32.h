#pragma once
// The COM library of the calling thread, initialised for as long as the
// owner lives. ole32 is loaded from the system directory on first use, so a
// run with no shortcut, COM server or shell open never loads it.
#include <windows.h>
#include <objbase.h>

namespace dp {

class ComLibrary {
public:
    explicit ComLibrary(DWORD model = COINIT_APARTMENTTHREADED);
    ~ComLibrary();
    ComLibrary(const ComLibrary&) = delete;
    ComLibrary& operator=(const ComLibrary&) = delete;
    // Why it could not be initialised (a failure), or S_OK / S_FALSE.
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

// CoCreateInstance for an in-process server, on a thread that owns a
// ComLibrary.
HRESULT CreateInProcessObject(REFCLSID clsid, REFIID iid, void** object);

}  // namespace dp
