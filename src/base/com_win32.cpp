#include "base/com_win32.h"

#include "base/program_win32.h"

namespace dp {
namespace {

struct Ole32 {
    decltype(&CoInitializeEx) initialize = nullptr;
    decltype(&CoUninitialize) uninitialize = nullptr;
    decltype(&CoCreateInstance) createInstance = nullptr;
    DWORD loadError = 0;
};

// Loaded once and kept for the life of the process (threads may still hold
// the library initialised when others start).
const Ole32& Ole32Library() {
    static const Ole32 library = [] {
        Ole32 functions;
        const HMODULE module = LoadSystemLibrary("ole32.dll");
        if (module) {
            functions.initialize = ProcAddress<decltype(&CoInitializeEx)>(module, "CoInitializeEx");
            functions.uninitialize = ProcAddress<decltype(&CoUninitialize)>(module, "CoUninitialize");
            functions.createInstance = ProcAddress<decltype(&CoCreateInstance)>(module, "CoCreateInstance");
        }
        if (!functions.initialize || !functions.uninitialize || !functions.createInstance) {
            functions = Ole32{};
            functions.loadError = GetLastError() ? GetLastError() : ERROR_MOD_NOT_FOUND;
        }
        return functions;
    }();
    return library;
}

}  // namespace

ComLibrary::ComLibrary(DWORD model) {
    const Ole32& ole32 = Ole32Library();
    result_ = ole32.initialize ? ole32.initialize(nullptr, model) : HRESULT_FROM_WIN32(ole32.loadError);
}

ComLibrary::~ComLibrary() {
    if (SUCCEEDED(result_)) Ole32Library().uninitialize();
}

HRESULT CreateInProcessObject(REFCLSID clsid, REFIID iid, void** object) {
    const Ole32& ole32 = Ole32Library();
    if (!ole32.createInstance) return HRESULT_FROM_WIN32(ole32.loadError);
    return ole32.createInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

}  // namespace dp
