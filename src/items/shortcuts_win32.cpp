// Creating and deleting shell links through the shell link object.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "base/com_win32.h"
#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/log_text.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/shortcuts.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

// The system's error code inside a COM result, for its text.
uint32_t ErrorOfResult(HRESULT result) {
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) return HRESULT_CODE(result);
    return static_cast<uint32_t>(result);
}

HRESULT CreateShellLink(UniqueCom<IShellLinkA>& link) {
    void* object = nullptr;
    const HRESULT result = CreateInProcessObject(CLSID_ShellLink, __uuidof(IShellLinkA), &object);
    if (SUCCEEDED(result)) link.reset(static_cast<IShellLinkA*>(object));
    return result;
}

HRESULT PersistFileOf(IShellLinkA* link, UniqueCom<IPersistFile>& file) {
    void* object = nullptr;
    const HRESULT result = link->QueryInterface(__uuidof(IPersistFile), &object);
    if (SUCCEEDED(result)) file.reset(static_cast<IPersistFile*>(object));
    return result;
}

// Saves the link under the file name. 0, or the system's error.
uint32_t SaveLink(IShellLinkA* link, const std::string& linkFile) {
    UniqueCom<IPersistFile> file;
    HRESULT result = PersistFileOf(link, file);
    if (FAILED(result)) return ErrorOfResult(result);
    std::wstring wide;
    if (const uint32_t error = WidePath(linkFile, wide)) return error;
    result = file.get()->Save(wide.c_str(), TRUE);
    return SUCCEEDED(result) ? 0 : ErrorOfResult(result);
}

// The target the link file points to; "" when it cannot be loaded.
std::string ReadLinkTarget(IShellLinkA* link, const std::string& linkFile) {
    UniqueCom<IPersistFile> file;
    std::wstring wide;
    if (FAILED(PersistFileOf(link, file)) || WidePath(linkFile, wide) != 0) return {};
    if (FAILED(file.get()->Load(wide.c_str(), STGM_READ))) return {};
    std::string target(32768, '\0');
    WIN32_FIND_DATAA found;
    if (link->GetPath(target.data(), static_cast<int>(target.size()), &found, SLGP_UNCPRIORITY) != S_OK)
        return {};
    target.resize(target.find('\0'));
    return target;
}

}  // namespace

uint32_t CreateShortcutFolder(const std::string& shortcutPath) {
    const size_t slash = FindLastBackslash(shortcutPath, &IsSystemLeadByte);
    if (slash == std::string::npos) return 0;
    return CreateFolderIfMissing(shortcutPath.substr(0, slash));
}

int CreateShortcuts(ShortcutList& list, StepContext& step) {
    // Without shortcuts COM is not started: its window would start the
    // system's desktop process under Wine for nothing.
    if (list.count() == 0) return 1;
    ComLibrary com;
    if (FAILED(com.result())) {
        ShowError(ErrorOfResult(com.result()), kMsgErrorCoInitialize, kBoxOk);
        return 0;
    }
    UniqueCom<IShellLinkA> link;
    if (const HRESULT result = CreateShellLink(link); FAILED(result)) {
        ShowError(ErrorOfResult(result), kMsgErrorCoCreateInstance, kBoxOk);
        return 1;
    }
    for (int i = 0; i < list.count(); ++i) {
        if (step.isCancelled()) break;
        const std::string& linkPath = list.linkPaths[static_cast<size_t>(i)];
        const std::string& target = list.targetPaths[static_cast<size_t>(i)];
        if (!IsInstalledTarget(step.files, target)) {
            step.UpToDate();  // its target is not installed by this run
            continue;
        }
        // A folder that cannot be created makes the save fail, which tells.
        CreateShortcutFolder(linkPath);
        uint32_t error = 0;
        if (const HRESULT result = link.get()->SetPath(target.c_str()); FAILED(result))
            error = ErrorOfResult(result);
        else
            error = SaveLink(link.get(), linkPath + ".lnk");
        if (error == 0) {
            step.Done();
            if (step.fullLog()) WriteLogText(step.log, "Shortcut " + linkPath + " (" + target + ") is created\n");
        } else {
            step.Failed();
            step.LogMessage(error, kMsgErrorCreatingShortcut, linkPath);
        }
    }
    return 1;
}

int DeleteShortcuts(DeleteShortcutList& list, StepContext& step) {
    if (list.linkPaths.empty()) return 1;
    ComLibrary com;
    UniqueCom<IShellLinkA> link;
    if (FAILED(CreateShellLink(link))) return 1;
    for (const std::string& linkPath : list.linkPaths) {
        if (step.isCancelled()) break;
        const std::string linkFile = linkPath + ".lnk";
        // The link's target is only told in the full log.
        const std::string target = step.fullLog() ? ReadLinkTarget(link.get(), linkFile) : std::string();
        const uint32_t error = DeleteFileAt(linkFile);
        if (error == 0)
            step.Done();
        else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            step.UpToDate();  // already gone
        else
            step.Failed();
        if (!step.fullLog()) continue;
        if (error == 0)
            WriteLogText(step.log, "Shortcut " + linkPath + " (" + target + ") is deleted\n");
        else
            WriteLogText(step.log, FormatLogMessage(error, kMsgErrorDeletingShortcut, linkPath));
    }
    return 1;
}

}  // namespace dp
