// Registering and unregistering COM servers, and the lists the install phase
// leaves in the registry for the end phase.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "base/com_win32.h"
#include "base/fault_guard_win32.h"
#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/registry_win32.h"
#include "base/log_text.h"
#include "base/parallel.h"
#include "base/program_win32.h"
#include "base/seam.h"
#include "base/system_text.h"
#include "items/com/com_registration.h"
#include "items/com/com_registration_win32.h"
#include "items/files/file_list.h"
#include "items/files/file_operations.h"
#include "items/files/result_line.h"
#include "items/rollback/journal_win32.h"
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

// A failed step's text; empty for success.
using Failure = std::string;
Failure Fail(int messageId, const std::string& detail, const std::string& systemText) {
    return ComposeComFailure(LoadMessage(messageId), detail, systemText);
}

// A failure as the log shows it, or in a box "Error" without a log.
void ReportFailure(std::FILE* log, const Failure& text) {
    if (text.empty()) return;
    if (log) {
        WriteLogText(log, text + "\n");
        return;
    }
    ShowMessageBox(text.size() > kMaxBoxText ? text.substr(0, kMaxBoxText) : text, LoadMessage(kMsgErrorCaption),
                   kBoxOk);
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

Failure CallInProcess(const std::string& path, const ServerCall& call) {
    UniqueModule module;
    const uint32_t loadError = LoadServer(path, module);
    if (!module) return Fail(kMsgErrorLoadingLibrary, path, SystemErrorText(loadError));
    using ServerFunction = HRESULT(STDAPICALLTYPE*)();
    const auto function = ProcAddress<ServerFunction>(module.get(), call.exportName);
    if (!function) return Fail(call.missingMessage, path, SystemErrorText(GetLastError()));
    // A server that faults in its own function must not take the installer
    // down with it: the fault is reported like a failing function, and the
    // library, whose state is lost, stays loaded.
    int returned = 0;
    if (RunGuarded([&] { return static_cast<int>(function()); }, returned) != GuardOutcome::kCompleted) {
        (void)module.release();
        return Fail(call.failedMessage, path + ", a fault in the server", "");
    }
    const HRESULT result = static_cast<HRESULT>(returned);
    if (!FAILED(result)) return {};
    return Fail(call.failedMessage, path + ", code " + HresultText(static_cast<uint32_t>(result)), ResultText(result));
}

// A 64-bit server cannot be loaded by this 32-bit process: the system's
// 64-bit regsvr32 does it, silently, waited for with a bound.
Failure CallThroughNativeTool(const std::string& path, const ServerCall& call, DWORD limitMs) {
    const std::string tool = NativeSystemFilePath("regsvr32.exe");
    // The 64-bit tool knows the 64-bit system folder by its real name only.
    std::string commandLine = "\"" + tool + "\" " + call.switches + " \"" + RealSystemPath(path) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    StartedProcess started;
    if (tool.empty() || !CreateProcessA(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, started.raw()))
        return Fail(call.nativeMessage, path, SystemErrorText(tool.empty() ? ERROR_PATH_NOT_FOUND : GetLastError()));
    started.take();
    const DWORD waited = WaitForSingleObject(started.process.get(), limitMs);
    if (waited != WAIT_OBJECT_0)
        return Fail(call.nativeMessage, path, SystemErrorText(waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError()));
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(started.process.get(), &exitCode))
        return Fail(call.nativeMessage, path, SystemErrorText(GetLastError()));
    if (exitCode == 0) return {};
    return Fail(call.nativeMessage, path + ", exit code " + std::to_string(exitCode), "");
}

// One call of a server's function on a thread of its own, so that a server
// that never returns can be left behind. The thread owns what it works on:
// an abandoned one keeps it until the process ends.
struct InProcessCall {
    std::string path;
    const ServerCall* call;
    Failure failure;
};

DWORD WINAPI InProcessCallThread(LPVOID parameter) {
    auto* job = static_cast<InProcessCall*>(parameter);
    const ComLibrary com;
    job->failure = CallInProcess(job->path, *job->call);
    return 0;
}

// CallInProcess with a limit: a server whose function has not returned
// within limitMs is reported and left running on its thread (never waited
// for again: what it holds stays held until the process ends).
Failure CallInProcessWithin(const std::string& path, const ServerCall& call, uint32_t limitMs) {
    auto job = std::make_unique<InProcessCall>(InProcessCall{path, &call, {}});
    UniqueHandle thread(CreateThread(nullptr, 0, InProcessCallThread, job.get(), 0, nullptr));
    if (!thread) return Fail(call.failedMessage, path, SystemErrorText(GetLastError()));
    const DWORD waited = WaitForSingleObject(thread.get(), limitMs);
    if (waited == WAIT_OBJECT_0) return std::move(job->failure);
    (void)job.release();  // the thread may still use it
    return Fail(call.failedMessage,
                path + ", no answer within the RUNTIMEOUT limit (" + std::to_string(limitMs / 1000) + " s)",
                SystemErrorText(waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError()));
}

// limitMs: the longest wait for the server (0: none, the 64-bit tool's own
// bound).
Failure CallServer(const std::string& path, const ServerCall& call, uint32_t limitMs = 0) {
    std::string head;
    if (RunsOnSixtyFourBitSystem() && ReadFilePart(path, 0, kImageHeadSize, head) == 0 &&
        IsSixtyFourBitMachine(ImageMachine(head))) {
        return CallThroughNativeTool(path, call, limitMs != 0 ? limitMs : kNativeRegsvr32WaitMs);
    }
    if (limitMs != 0) return CallInProcessWithin(path, call, limitMs);
    const ComLibrary com;
    return CallInProcess(path, call);
}

// A server registered or unregistered: a work item of its own.
class ServerItem : public WorkItem {
public:
    ServerItem(std::string path, const ServerCall& call, PlanRow row)
        : path_(std::move(path)), call_(call), row_(std::move(row)) {}

    PlanRow Describe() const override { return row_; }

    Check Verify() const override { return Check::NotChecked("a server's registration is its own"); }

    ItemResult Do(StepContext& step) override {
        if (step.journal) {
            const char* state = &call_ == &kRegister ? "registered" : "unregistered";
            if (const Status noted = step.journal->Record({journal::kServer, {path_, state}}); !noted.ok())
                return ItemResult::Failed(noted.code(), JournalFailureText(noted.code()), Report::kLog);
        }
        Failure failure = CallServer(path_, call_, step.runTimeoutMs);
        if (failure.empty()) return ItemResult::Done();
        ItemResult r = ItemResult::Failed(0, failure + "\n", Report::kLogOrBox);
        if (failure.size() > kMaxBoxText) failure.resize(kMaxBoxText);
        r.boxText = std::move(failure);
        r.caption = LoadMessage(kMsgErrorCaption);
        r.boxStyle = kBoxOk;
        return r;
    }

private:
    std::string path_;
    const ServerCall& call_;
    PlanRow row_;
};

// Bookkeeping of the run, not an item of the script: no plan row, not counted.
template <typename Action>
class Bookkeeping : public WorkItem {
public:
    explicit Bookkeeping(Action action) : action_(std::move(action)) {}
    PlanRow Describe() const override { return {}; }
    ItemResult Do(StepContext& step) override {
        action_(step);
        return ItemResult::Done();
    }
    bool counted() const override { return false; }

private:
    Action action_;
};
template <typename Action>
std::unique_ptr<WorkItem> MakeBookkeeping(Action action) {
    return std::make_unique<Bookkeeping<Action>>(std::move(action));
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
    UniqueKey list;
    if (const Status status = CreateAndOpenKey(user.get(), listPath, KEY_WRITE, list); !status.ok()) {
        ShowKeyError(static_cast<LONG>(status.code()), std::string(kRootName) + kProgramKeyPath);
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
    // The values are read several at a time, each into its own entry.
    struct Entry {
        bool read = false;
        std::string name, data;
    };
    std::vector<Entry> entries(count);
    ParallelFor(count, kFileCallThreads, [&](size_t i) {
        Entry& entry = entries[i];
        // Read into the thread's own buffer, kept in the entry at its size
        // (a single long value among many must not cost its length for each).
        thread_local std::string buffer;
        buffer.assign(static_cast<size_t>(longest) + 1, '\0');
        char valueName[kLongestValueName + 1];
        DWORD nameSize = sizeof valueName;
        DWORD dataSize = longest;
        entry.read = RegEnumValueA(list.get(), static_cast<DWORD>(i), valueName, &nameSize, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer.data()), &dataSize) == ERROR_SUCCESS;
        if (!entry.read) return;
        entry.name.assign(valueName, nameSize);
        entry.data.assign(buffer.data(), std::min<size_t>(dataSize, buffer.size()));
    });
    // Each entry goes to the place of its number, so that the paths come out
    // in the order they were saved, whatever order the values are listed in.
    std::vector<std::string> slots(count);
    std::vector<bool> filled(count, false);
    for (const Entry& entry : entries) {
        size_t index = 0;
        if (!entry.read || !ParseListIndex(entry.name, count, index)) continue;
        slots[index] = PathFromStoredData(entry.data);
        filled[index] = true;
    }
    for (size_t i = 0; i < slots.size(); ++i)
        if (filled[i]) paths.push_back(std::move(slots[i]));
    return 1;
}

int RestoreSavedList(const char* name, bool present, const std::vector<std::string>& paths) {
    if (present) return SaveList(name, paths);
    UniqueKey program;
    if (RegOpenKeyExA(g_root(), kProgramKeyPath, 0, KEY_ALL_ACCESS, program.put()) == ERROR_SUCCESS)
        RegDeleteKeyA(program.get(), name);
    return 1;
}

bool CallComServerWithin(const std::string& path, bool registering, uint32_t limitMs) {
    return CallServer(path, registering ? kRegister : kUnregister, limitMs).empty();
}

bool RegisterComServer(std::FILE* log, const std::string& path) {
    const Failure failure = CallServer(path, kRegister);
    ReportFailure(log, failure);
    return failure.empty();
}
bool UnregisterComServer(std::FILE* log, const std::string& path) {
    const Failure failure = CallServer(path, kUnregister);
    ReportFailure(log, failure);
    return failure.empty();
}

void AddComUnregistrations(const FileList& files, WorkItems& items) {
    for (const std::string& path : ComServersToUnregister(files))
        items.push_back(std::make_unique<ServerItem>(path, kUnregister, PlanRow{"", "unregister", path}));
}

void AddComRegistrations(const FileList& files, bool fromSavedList, WorkItems& items) {
    if (fromSavedList) {
        // The run after a reboot holds no items: the list the run before saved.
        std::vector<std::string> paths;
        if (ReadSavedList(kComRegList, paths))
            for (const std::string& path : paths)
                items.push_back(std::make_unique<ServerItem>(path, kRegister, PlanRow{"", "register", path}));
    } else {
        for (const FileItem* it : ComServerItemsToRegister(files))
            items.push_back(std::make_unique<ServerItem>(it->targetPath, kRegister, FileItemRow("register", *it, "")));
    }
    // Registered once: the list goes.
    items.push_back(MakeBookkeeping([](StepContext&) {
        UniqueKey program;
        if (RegOpenKeyExA(g_root(), kProgramKeyPath, 0, KEY_ALL_ACCESS, program.put()) == ERROR_SUCCESS)
            RegDeleteKeyA(program.get(), kComRegList);
    }));
}

void AddAfterRebootLists(WorkItems& items) {
    items.push_back(MakeBookkeeping([](StepContext& step) {
        if (step.journal) {
            // The lists of a run before are put back by a rollback.
            for (const char* name : {kComRegList, kCopyFileList}) {
                std::vector<std::string> paths;
                UniqueKey probe;
                const bool present =
                    RegOpenKeyExA(g_root(), ListKeyPath(name).c_str(), 0, KEY_QUERY_VALUE, probe.put()) == ERROR_SUCCESS;
                probe.reset();
                if (present) ReadSavedList(name, paths);
                JournalRecord record{journal::kList, {name, present ? "1" : "0"}};
                record.fields.insert(record.fields.end(), paths.begin(), paths.end());
                (void)step.journal->Record(record);
            }
        }
        SaveComRegList(step);
        SaveCopyFileList(step);
    }));
}

void AddCopiedFilesFinish(WorkItems& items) {
    items.push_back(MakeBookkeeping([](StepContext& step) { FinishCopiedFiles(step); }));
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
    // (the run after a reboot reads it), and the files whose copy made them
    // with their final attributes are not opened again.
    std::vector<std::string> paths;
    if (step.files.finishListSaved)
        paths = FilesToFinish(step.files, true);
    else if (!ReadSavedList(kCopyFileList, paths))
        return 0;
    // Each file on its own: several at a time.
    ParallelFor(paths.size(), kFileCallThreads, [&paths](size_t i) { ClearReadOnlyAndArchive(paths[i]); });
    return 1;
}

}  // namespace dp
