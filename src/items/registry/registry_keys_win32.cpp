// Writing the values of the registration files and deleting the keys of the
// key files. Successes are silent; failures get a box or a log line.
#include <windows.h>
#include <shlwapi.h>

#include "base/handles_win32.h"
#include "base/log_text.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/registry/protected_keys.h"
#include "items/registry/reg_file_text.h"
#include "items/registry/registry_keys_win32.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "script/registry_text_win32.h"

namespace dp {
namespace {

// The error shown for a key path whose root name is not known.
constexpr LONG kUnknownRootError = ERROR_BAD_PATHNAME;

// "Error opening registry key <where>. <system text>. \n<end of work>\n".
void ShowOpenKeyError(const std::string& where, LONG code) {
    const std::string caption = LoadMessage(kMsgErrorOpeningRegistryKey);
    ShowMessageBox(caption + " " + where + ". " + SystemErrorText(static_cast<uint32_t>(code)) + ". \n" +
                       LoadMessage(kMsgEndOfWork) + "\n",
                   caption, kBoxIconInformation);
}

// The key of entry i's key path, opened for writing, with what is missing of
// it created first. False after the box.
struct OpenKey {
    UniqueKey key;
    std::string rootName, subkey;  // as the key path spells them, for messages
};
bool OpenForWriting(const std::string& keyPath, OpenKey& open) {
    const KeyPathParts parts = SplitKeyPath(keyPath);
    open.rootName.assign(parts.rootName);
    open.subkey.assign(parts.subkey);
    const HKEY predefined = RootKeyFromPath(keyPath);
    if (!predefined) {
        ShowOpenKeyError(open.rootName, kUnknownRootError);
        return false;
    }
    UniqueKey root;
    LONG rc = RegOpenKeyExA(predefined, nullptr, 0, KEY_WRITE, root.put());
    if (rc != ERROR_SUCCESS) {
        ShowOpenKeyError(open.rootName, rc);
        return false;
    }
    if (!open.subkey.empty()) {
        UniqueKey created;  // its result shows in the open that follows
        RegCreateKeyA(root.get(), open.subkey.c_str(), created.put());
    }
    rc = RegOpenKeyExA(root.get(), open.subkey.c_str(), 0, KEY_WRITE, open.key.put());
    if (rc != ERROR_SUCCESS) {
        ShowOpenKeyError(open.rootName + "\\" + open.subkey, rc);
        return false;
    }
    return true;
}

LONG WriteValue(HKEY key, const std::string& name, uint32_t type, const std::string& data) {
    if (type == kRegDword) {
        const DWORD value = DwordFromText(data);
        return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value);
    }
    // A string goes with its terminating zero; binary data is every byte held.
    const size_t size = type == kRegSz ? data.size() + 1 : data.size();
    if (size > MAXDWORD) return ERROR_INVALID_PARAMETER;
    return RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(size));
}

// "Error writing registry value root\subkey\name=data. <system text>", in
// the log when there is one, and in a box.
void ReportValueError(const OpenKey& open, const std::string& name, const std::string& data, LONG code,
                      StepContext& step) {
    const std::string caption = LoadMessage(kMsgErrorWritingRegistryValue);
    const std::string dataText = data.substr(0, data.find('\0'));
    std::string text = caption + " " + open.rootName + "\\" + open.subkey + "\\" + name + "=" + dataText +
                       ". " + SystemErrorText(static_cast<uint32_t>(code));
    TrimChars(text, " \t\r\n");
    if (step.logging()) WriteLogText(step.log, text + "\n");
    ShowMessageBox(text, caption, kBoxIconInformation);
}

// A deletion's trouble goes to the log when there is one, else to a box.
void ReportDeletion(const std::string& text, StepContext& step) {
    if (step.logging())
        WriteLogText(step.log, text + "\n");
    else
        ShowMessageBox(text, LoadMessage(kMsgErrorCaption), kBoxOk);
}

// Deletes the key when it has no subkeys and no values (checked here: the
// shell's own test does not look at values everywhere). Protected keys stay.
void DeleteIfEmpty(HKEY root, std::string_view rootName, const std::string& subkey) {
    if (IsProtectedRegistryKey(std::string(rootName) + "\\" + subkey)) return;
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    const LONG rc = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                     &values, nullptr, nullptr, nullptr, nullptr);
    key.reset();
    if (rc == ERROR_SUCCESS && subkeys == 0 && values == 0) SHDeleteEmptyKeyA(root, subkey.c_str());
}

}  // namespace

HKEY RootKeyFromPath(std::string_view keyPath) {
    RegistryRoot root;
    return RootFromKeyPath(keyPath, root) ? PredefinedKey(root) : nullptr;
}

int WriteRegEntries(RegEntryList& entries, StepContext& step) {
    const int32_t count = entries.count();
    OpenKey open;
    for (int32_t i = 0; i < count; ++i) {
        if (step.isCancelled()) break;
        const size_t at = static_cast<size_t>(i);
        if (!open.key && !OpenForWriting(entries.keyPaths[at], open)) {
            step.Failed(count - i);  // this value and every one after it stay unwritten
            return 0;
        }
        const LONG rc = WriteValue(open.key.get(), entries.names[at], entries.types[at], entries.data[at]);
        if (rc != ERROR_SUCCESS) {
            step.Failed();
            ReportValueError(open, entries.names[at], entries.data[at], rc, step);
        } else {
            step.Done();
        }
        if (i + 1 < count && entries.keyPaths[at + 1] != entries.keyPaths[at]) open.key.reset();
    }
    return 1;
}

int DeleteRegKeys(RegKeyList& keys, StepContext& step) {
    for (const std::string& path : keys.keyPaths) {
        if (step.isCancelled()) break;
        const KeyPathParts parts = SplitKeyPath(path);
        const HKEY root = RootKeyFromPath(path);
        if (!parts.hasBackslash || !root) continue;
        if (IsProtectedRegistryKey(path)) {
            step.Failed();
            ReportDeletion(LoadMessage(kMsgSharedRegistryKeyKept) + " " + path + ".", step);
            continue;
        }
        const std::string subkey(parts.subkey);
        UniqueKey probe;  // a key that is missing or closed to us is passed over
        if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS, probe.put()) == ERROR_SUCCESS) {
            probe.reset();
            const LSTATUS rc = SHDeleteKeyA(root, subkey.c_str());
            if (rc != ERROR_SUCCESS) {
                step.Failed();
                ReportDeletion(LoadMessage(kMsgErrorDeletingRegistryKey) + " " + path + ". " +
                                   SystemErrorText(static_cast<uint32_t>(rc)),
                               step);
            } else {
                step.Done();
            }
        } else {
            step.UpToDate();  // nothing to delete
        }
        const size_t parent = subkey.rfind('\\');
        if (parent != std::string::npos) DeleteIfEmpty(root, parts.rootName, subkey.substr(0, parent));
    }
    return 1;
}

}  // namespace dp
