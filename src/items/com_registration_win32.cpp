// Registering and unregistering COM servers, and the lists the install phase
// leaves in the registry for the end phase.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>

#include "base/com_win32.h"
#include "base/fault_guard_win32.h"
#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/log_text.h"
#include "base/parallel.h"
#include "base/program_win32.h"
#include "base/seam.h"
#include "base/system_text.h"
#include "items/com_registration.h"
#include "items/com_registration_win32.h"
#include "items/files/file_list.h"
#include "items/files/file_operations.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

constexpr char kRootName[] = "HKEY_CURRENT_USER";
// Enough of a file's start to find the machine type of an image.
constexpr size_t kImageHeadSize = 4096;
// Value names longer than this are not list entries.
constexpr DWORD kLongestValueName = 40;
// LoadLibraryEx search flags (Windows 7 with KB2533623 and later).
constexpr DWORD kSearchDllLoadDir = 0x00000100;
constexpr DWORD kSearchSystem32 = 0x00000800;

// One of the two things a server is asked to do.
struct ServerCall {
    const char* exportName;
    int missingMessage;    // the export is missing
    int failedMessage;     // the export returned a failure
    int nativeMessage;     // the 64-bit regsvr32 failed
    const char* switches;  // regsvr32's
};
constexpr ServerCall kRegister{"DllRegisterServer", kMsgErrorRegisteringModule,
                               kMsgRegisterFunctionFailed, kMsgRegister64Failed, "/s"};
constexpr ServerCall kUnregister{"DllUnregisterServer", kMsgErrorUnregisteringModule,
                                 kMsgUnregisterFunctionFailed, kMsgUnregister64Failed, "/s /u"};

HKEY CurrentUserRoot() { return HKEY_CURRENT_USER; }
Seam<HKEY()> g_root(&CurrentUserRoot);

std::string ListKeyPath(const char* name) { return std::string(kProgramKeyPath) + "\\" + name; }

// A failed step: a line in the open log, or a box "Error" without one.
void Report(std::FILE* log, int messageId, const std::string& detail, const std::string& systemText) {
    std::string text = ComposeComFailure(LoadMessage(messageId), detail, systemText);
    if (log) {
        WriteLogText(log, text + "\n");
        return;
    }
    if (text.size() > kMaxBoxText) text.resize(kMaxBoxText);
    ShowMessageBox(text, LoadMessage(kMsgErrorCaption), kBoxOk);
}

// The system's text for a registration function's result; a result that
// wraps a system error code gets that code's text when the result has none.
std::string ResultText(HRESULT result) {
    const uint32_t code = static_cast<uint32_t>(result);
    std::string text = SystemErrorText(code);
    if (text.empty() && HRESULT_FACILITY(result) == FACILITY_WIN32) text = SystemErrorText(code & 0xffff);
    return text;
}

// Loads a server so that the libraries it needs are found in its own folder
// and the system directory, never in the program's or the current folder
// (the process's own search is restricted to the system directory).
uint32_t LoadServer(const std::string& path, UniqueModule& module) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const bool searchFlags = kernel && GetProcAddress(kernel, "AddDllDirectory");
    // No system box for a missing dependency: the failure is reported here.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE loaded = nullptr;
    const uint32_t error = LoadLibraryAt(
        path, searchFlags ? kSearchDllLoadDir | kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH, loaded);
    SetErrorMode(oldMode);
    module.reset(loaded);
    return error;
}

bool CallInProcess(std::FILE* log, const std::string& path, const ServerCall& call) {
    UniqueModule module;
    const uint32_t loadError = LoadServer(path, module);
    if (!module) {
        Report(log, kMsgErrorLoadingLibrary, path, SystemErrorText(loadError));
        return false;
    }
    using ServerFunction = HRESULT(STDAPICALLTYPE*)();
    const auto function = ProcAddress<ServerFunction>(module.get(), call.exportName);
    if (!function) {
        Report(log, call.missingMessage, path, SystemErrorText(GetLastError()));
        return false;
    }
    // A server that faults in its own function must not take the installer
    // down with it: the fault is reported like a failing function, and the
    // library, whose state is lost, stays loaded.
    int returned = 0;
    if (RunGuarded([&] { return static_cast<int>(function()); }, returned) != GuardOutcome::kCompleted) {
        (void)module.release();
        Report(log, call.failedMessage, path + ", a fault in the server", "");
        return false;
    }
    const HRESULT result = static_cast<HRESULT>(returned);
    if (!FAILED(result)) return true;
    Report(log, call.failedMessage, path + ", code " + HresultText(static_cast<uint32_t>(result)),
           ResultText(result));
    return false;
}

// A 64-bit server cannot be loaded by this 32-bit process: the system's
// 64-bit regsvr32 does it, silently, waited for with a bound.
bool CallThroughNativeTool(std::FILE* log, const std::string& path, const ServerCall& call) {
    const std::string tool = NativeSystemFilePath("regsvr32.exe");
    std::string commandLine = "\"" + tool + "\" " + call.switches + " \"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (tool.empty() || !CreateProcessA(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &started)) {
        Report(log, call.nativeMessage, path, SystemErrorText(tool.empty() ? ERROR_PATH_NOT_FOUND : GetLastError()));
        return false;
    }
    UniqueHandle process(started.hProcess), thread(started.hThread);
    const DWORD waited = WaitForSingleObject(process.get(), kNativeRegsvr32WaitMs);
    if (waited != WAIT_OBJECT_0) {
        Report(log, call.nativeMessage, path, SystemErrorText(waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError()));
        return false;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.get(), &exitCode)) {
        Report(log, call.nativeMessage, path, SystemErrorText(GetLastError()));
        return false;
    }
    if (exitCode == 0) return true;
    Report(log, call.nativeMessage, path + ", exit code " + std::to_string(exitCode), "");
    return false;
}

bool CallServer(std::FILE* log, const std::string& path, const ServerCall& call) {
    std::string head;
    if (RunsOnSixtyFourBitSystem() && ReadFilePart(path, 0, kImageHeadSize, head) == 0 &&
        IsSixtyFourBitMachine(ImageMachine(head))) {
        return CallThroughNativeTool(log, path, call);
    }
    return CallInProcess(log, path, call);
}

// "Error at opening a key of the registry <key>. \n", with ". " and the
// system's text appended by the box.
void ShowKeyError(LONG error, const std::string& keyName) {
    ShowErrorText(static_cast<uint32_t>(error), LoadMessage(kMsgErrorOpeningKeyOfRegistry) + " " + keyName + ". \n",
                  kBoxOk);
}

// Replaces a list with the given paths, numbered from 0. With `whole`, tells
// whether every path was written.
int SaveList(const char* name, const std::vector<std::string>& paths, bool* whole = nullptr) {
    if (whole) *whole = false;
    const HKEY root = g_root();
    const std::string listPath = ListKeyPath(name);
    {
        UniqueKey program;
        if (RegOpenKeyExA(root, kProgramKeyPath, 0, KEY_WRITE, program.put()) == ERROR_SUCCESS)
            RegDeleteKeyA(program.get(), name);
    }
    UniqueKey user;
    LONG rc = RegOpenKeyExA(root, nullptr, 0, KEY_WRITE, user.put());
    if (rc != ERROR_SUCCESS) {
        ShowKeyError(rc, kRootName);
        return 0;
    }
    {
        UniqueKey created;
        RegCreateKeyA(user.get(), listPath.c_str(), created.put());
    }
    UniqueKey list;
    rc = RegOpenKeyExA(user.get(), listPath.c_str(), 0, KEY_WRITE, list.put());
    if (rc != ERROR_SUCCESS) {
        ShowKeyError(rc, std::string(kRootName) + kProgramKeyPath);
        return 0;
    }
    // Each value is named by its number: they are written several at a time.
    std::atomic<bool> written{true};
    ParallelFor(paths.size(), kFileCallThreads, [&](size_t i) {
        const std::string data = StoredPathData(paths[i]);
        if (RegSetValueExA(list.get(), std::to_string(i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
            written = false;
    });
    if (whole) *whole = written;
    return 1;
}

}  // namespace

ListRootFunction SetListRootForTesting(ListRootFunction root) { return g_root.Replace(std::move(root)); }

int ReadSavedList(const char* name, std::vector<std::string>& paths) {
    paths.clear();
    const std::string listPath = ListKeyPath(name);
    UniqueKey list;
    if (RegOpenKeyExA(g_root(), listPath.c_str(), 0, KEY_ALL_ACCESS, list.put()) != ERROR_SUCCESS) return 1;
    DWORD count = 0, longest = 0;
    const LONG rc = RegQueryInfoKeyA(list.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                     nullptr, &longest, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) {
        ShowKeyError(rc, kRootName + listPath);
        return 0;
    }
    // Each entry goes to the place of its number, so that the paths come out
    // in the order they were saved, whatever order the values are listed in.
    std::vector<std::string> slots(count);
    std::vector<bool> filled(count, false);
    std::string data(static_cast<size_t>(longest) + 1, '\0');
    for (DWORD i = 0; i < count; ++i) {
        char valueName[kLongestValueName + 1];
        DWORD nameSize = sizeof valueName;
        DWORD dataSize = longest;
        if (RegEnumValueA(list.get(), i, valueName, &nameSize, nullptr, nullptr,
                          reinterpret_cast<BYTE*>(data.data()), &dataSize) != ERROR_SUCCESS)
            continue;
        size_t index = 0;
        if (!ParseListIndex(std::string(valueName, nameSize), count, index)) continue;
        slots[index] = PathFromStoredData(data.substr(0, dataSize));
        filled[index] = true;
    }
    for (size_t i = 0; i < slots.size(); ++i)
        if (filled[i]) paths.push_back(std::move(slots[i]));
    return 1;
}

bool RegisterComServer(std::FILE* log, const std::string& path) { return CallServer(log, path, kRegister); }
bool UnregisterComServer(std::FILE* log, const std::string& path) { return CallServer(log, path, kUnregister); }

int UnregisterDeletedComServers(StepContext& step) {
    const std::vector<std::string> paths = ComServersToUnregister(step.files);
    if (paths.empty()) return 1;
    const ComLibrary com;
    for (const std::string& path : paths) {
        if (step.isCancelled()) break;
        UnregisterComServer(step.logging() ? step.log : nullptr, path);
    }
    return 1;
}

int SaveComRegList(StepContext& step) { return SaveList(kComRegList, ComServersToRegister(step.files)); }

int SaveCopyFileList(StepContext& step) {
    bool whole = false;
    const int saved = SaveList(kCopyFileList, FilesToFinish(step.files), &whole);
    step.files.finishListSaved = saved && whole;
    return saved;
}

int FinishCopiedFiles(StepContext& step) {
    // The list this run saved whole is the one it holds: it is not read back
    // (the run after a reboot reads it).
    std::vector<std::string> paths;
    if (step.files.finishListSaved)
        paths = FilesToFinish(step.files);
    else if (!ReadSavedList(kCopyFileList, paths))
        return 0;
    // Each file on its own: several at a time.
    ParallelFor(paths.size(), kFileCallThreads, [&paths](size_t i) { ClearReadOnlyAndArchive(paths[i]); });
    return 1;
}

int RegisterSavedComServers(StepContext& step) {
    std::vector<std::string> paths;
    if (!ReadSavedList(kComRegList, paths)) return 0;
    if (!paths.empty()) {
        const ComLibrary com;
        for (const std::string& path : paths)
            RegisterComServer(step.logging() ? step.log : nullptr, path) ? step.Done() : step.Failed();
    }
    // Registered once: the list goes.
    UniqueKey program;
    if (RegOpenKeyExA(g_root(), kProgramKeyPath, 0, KEY_ALL_ACCESS, program.put()) == ERROR_SUCCESS)
        RegDeleteKeyA(program.get(), kComRegList);
    return 1;
}

}  // namespace dp
