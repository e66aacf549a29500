#include "base/com_win32.h"

#include "base/program_win32.h"

namespace dp {
namespace {

// Loaded on first use and never freed: a thread's COM initialisation must
// outlive every owner on it.
struct Ole32 {
    Ole32() {
        const HMODULE module = LoadSystemLibrary("ole32.dll");
        if (!module) {
            loadError = GetLastError();
            return;
        }
        initialize = ProcAddress<decltype(&CoInitializeEx)>(module, "CoInitializeEx");
        uninitialize = ProcAddress<decltype(&CoUninitialize)>(module, "CoUninitialize");
        createInstance = ProcAddress<decltype(&CoCreateInstance)>(module, "CoCreateInstance");
        if (!ok()) loadError = ERROR_PROC_NOT_FOUND;
    }
    bool ok() const { return initialize && uninitialize && createInstance; }

    DWORD loadError = 0;
    decltype(&CoInitializeEx) initialize = nullptr;
    decltype(&CoUninitialize) uninitialize = nullptr;
    decltype(&CoCreateInstance) createInstance = nullptr;
};

const Ole32& Ole32Library() {
    static const Ole32 library;
    return library;
}

}  // namespace

ComLibrary::ComLibrary(DWORD model) {
    const Ole32& ole32 = Ole32Library();
    result_ = ole32.ok() ? ole32.initialize(nullptr, model) : HRESULT_FROM_WIN32(ole32.loadError);
}

ComLibrary::~ComLibrary() {
    if (SUCCEEDED(result_)) Ole32Library().uninitialize();
}

HRESULT CreateInProcessObject(REFCLSID clsid, REFIID iid, void** object) {
    const Ole32& ole32 = Ole32Library();
    if (!ole32.ok()) return HRESULT_FROM_WIN32(ole32.loadError);
    return ole32.createInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

}  // namespace dp
