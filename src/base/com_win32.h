#pragma once
// The COM library of the calling thread, initialised for as long as the
// owner lives.
#include <windows.h>
#include <objbase.h>

namespace dp {

class ComLibrary {
public:
    explicit ComLibrary(DWORD model = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, model)) {}
    ~ComLibrary() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComLibrary(const ComLibrary&) = delete;
    ComLibrary& operator=(const ComLibrary&) = delete;
    // Why it could not be initialised (a failure), or S_OK / S_FALSE.
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

}  // namespace dp
