// Writing the values of the registration files and deleting the keys of the
// key files. Successes are silent; failures get a box or a log line.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/handles_win32.h"
#include "base/registry_win32.h"
#include "base/target_architecture_win32.h"
#include "base/log_text.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/registry/protected_keys.h"
#include "items/registry/reg_file_text.h"
#include "items/registry/registry_keys_win32.h"
#include "items/rollback/journal_win32.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "script/registry_text_win32.h"

namespace dp {
namespace {

// The error shown for a key path whose root name is not known.
constexpr LONG kUnknownRootError = ERROR_BAD_PATHNAME;

// "Error opening registry key <where>. <system text>. \n<end of work>\n", in
// a box of its own.
ItemResult OpenKeyFailure(const std::string& where, LONG code) {
    const std::string caption = LoadMessage(kMsgErrorOpeningRegistryKey);
    ItemResult r = ItemResult::Failed(static_cast<uint32_t>(code), "", Report::kBox);
    r.boxText = caption + " " + where + ". " + SystemErrorText(static_cast<uint32_t>(code)) + ". \n" +
                LoadMessage(kMsgEndOfWork) + "\n";
    r.caption = caption;
    r.boxStyle = kBoxIconInformation;
    r.endsStep = true;  // this value and every one after it stay unwritten
    return r;
}

// The key that the values of one step are written to, kept open while the
// values that follow name the same key.
struct OpenKey {
    std::string keyPath;
    UniqueKey key;
    std::string rootName, subkey;  // as the key path spells them, for messages
};

// Opens the key path for writing, with what is missing of it created first.
Status OpenForWriting(const std::string& keyPath, OpenKey& open, std::string& where) {
    const KeyPathParts parts = SplitKeyPath(keyPath);
    open.keyPath = keyPath;
    open.rootName.assign(parts.rootName);
    open.subkey.assign(parts.subkey);
    where = open.rootName;
    const HKEY predefined = RootKeyFromPath(keyPath);
    if (!predefined) return Status(kUnknownRootError);
    if (!open.subkey.empty()) where += "\\" + open.subkey;
    return CreateAndOpenKey(predefined, open.subkey, KEY_WRITE | TargetView(predefined, open.subkey), open.key);
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

const char* TypeName(uint32_t type) {
    switch (type) {
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    default: return "";
    }
}

// The data of a value as it would be written: text as it is, bytes in hexadecimal.
std::string ValueText(uint32_t type, const std::string& data) {
    if (type == kRegSz || type == kRegDword) return data;
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : data) {
        if (!hex.empty()) hex += ',';
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// The bytes a value is written with (WriteValue's).
std::string ValueBytes(uint32_t type, const std::string& data) {
    if (type == kRegDword) {
        const DWORD value = DwordFromText(data);
        return std::string(reinterpret_cast<const char*>(&value), sizeof value);
    }
    return type == kRegSz ? data + '\0' : data;
}

// The data of a value as read, in the plan's words.
std::string FoundValueText(DWORD type, std::string bytes) {
    if (type == REG_DWORD && bytes.size() == 4) {
        DWORD value = 0;
        memcpy(&value, bytes.data(), 4);
        char text[9];
        snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(value));
        return std::string(TypeName(type)) + " " + text;
    }
    if (type == REG_SZ && !bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    const char* name = TypeName(type);
    return std::string(*name ? name : "type " + std::to_string(type)) + " " + ValueText(type, bytes);
}

class WriteValueItem : public WorkItem {
public:
    WriteValueItem(const RegEntryList& entries, size_t index, std::shared_ptr<OpenKey> open)
        : entries_(entries), index_(index), open_(std::move(open)) {}

    PlanRow Describe() const override {
        const std::string& name = entries_.names[index_];
        PlanRow row{"", "write value", entries_.keyPaths[index_] + "\\" + (name.empty() ? "@" : name),
                    ValueText(entries_.types[index_], entries_.data[index_])};
        row.reason = TypeName(entries_.types[index_]);
        return row;
    }

    ItemResult Do(StepContext& step) override {
        const std::string& keyPath = entries_.keyPaths[index_];
        OpenKey& open = *open_;
        if (!open.key || open.keyPath != keyPath) {
            open.key.reset();
            if (step.journal) {
                // The keys this run creates are noted before they are made.
                const KeyPathParts parts = SplitKeyPath(keyPath);
                if (const HKEY root = RootKeyFromPath(keyPath))
                    (void)step.journal->NoteNewKeys(root, std::string(parts.subkey),
                                                    TargetView(root, std::string(parts.subkey)));
            }
            std::string where;
            if (const Status status = OpenForWriting(keyPath, open, where); !status.ok())
                return OpenKeyFailure(where, static_cast<LONG>(status.code()));
        }
        const std::string& name = entries_.names[index_];
        const std::string& data = entries_.data[index_];
        if (step.journal) {
            // The value's old state first (the key exists now: it was opened).
            const HKEY root = RootKeyFromPath(keyPath);
            const Status noted =
                step.journal->NoteValue(root, keyPath, open.subkey, name, TargetView(root, open.subkey));
            if (!noted.ok()) return ItemResult::Failed(noted.code(), JournalFailureText(noted.code()), Report::kLog);
        }
        const LONG rc = WriteValue(open.key.get(), name, entries_.types[index_], data);
        if (rc == ERROR_SUCCESS) return ItemResult::Done();
        // "Error writing registry value root\subkey\name=data. <system text>",
        // in the log when there is one, and in a box.
        const std::string caption = LoadMessage(kMsgErrorWritingRegistryValue);
        std::string text = caption + " " + open.rootName + "\\" + open.subkey + "\\" + name + "=" +
                           data.substr(0, data.find('\0')) + ". " + SystemErrorText(static_cast<uint32_t>(rc));
        TrimChars(text, " \t\r\n");
        ItemResult r = ItemResult::Failed(static_cast<uint32_t>(rc), text + "\n", Report::kLogAndBox);
        r.boxText = text;
        r.caption = caption;
        r.boxStyle = kBoxIconInformation;
        return r;
    }

    // The value has the type and the data it is written with.
    Check Verify() const override {
        const uint32_t type = entries_.types[index_];
        const std::string& data = entries_.data[index_];
        const std::string expected = FoundValueText(type, ValueBytes(type, data));
        const KeyPathParts parts = SplitKeyPath(entries_.keyPaths[index_]);
        const HKEY root = RootKeyFromPath(entries_.keyPaths[index_]);
        if (!root) return Check::NotChecked("the key's root is not known");
        UniqueKey key;
        if (RegOpenKeyExA(root, std::string(parts.subkey).c_str(), 0, KEY_QUERY_VALUE | TargetView(root, parts.subkey),
                          key.put()) != ERROR_SUCCESS)
            return Check::Differs(expected, "no key");
        const std::string& name = entries_.names[index_];
        DWORD foundType = 0, size = 0;
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &foundType, nullptr, &size) != ERROR_SUCCESS)
            return Check::Differs(expected, "no value");
        std::string bytes(size, '\0');
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &foundType, reinterpret_cast<BYTE*>(bytes.data()),
                             &size) != ERROR_SUCCESS)
            return Check::Differs(expected, "cannot be read");
        bytes.resize(size);
        if (foundType == type && bytes == ValueBytes(type, data)) return Check::Matches();
        return Check::Differs(expected, FoundValueText(foundType, bytes));
    }

private:
    const RegEntryList& entries_;
    size_t index_;
    std::shared_ptr<OpenKey> open_;
};

// Deletes the key when it has no subkeys and no values (checked here: the
// shell's own test does not look at values everywhere). Protected keys stay.
void DeleteIfEmpty(HKEY root, std::string_view rootName, const std::string& subkey) {
    if (IsProtectedRegistryKey(std::string(rootName) + "\\" + subkey)) return;
    const REGSAM view = TargetView(root, subkey);
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    const LONG rc = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                     &values, nullptr, nullptr, nullptr, nullptr);
    key.reset();
    if (rc == ERROR_SUCCESS && subkeys == 0 && values == 0) DeleteKeyWithoutSubkeys(root, subkey, view);
}

// A deletion's trouble goes to the log when there is one, else to a box.
ItemResult DeletionTrouble(Outcome outcome, uint32_t code, const std::string& text) {
    ItemResult r{outcome, code, text + "\n", Report::kLogOrBox};
    r.boxText = text;
    r.caption = LoadMessage(kMsgErrorCaption);
    r.boxStyle = kBoxOk;
    return r;
}

class DeleteKeyItem : public WorkItem {
public:
    explicit DeleteKeyItem(std::string path) : path_(std::move(path)) {
        const KeyPathParts parts = SplitKeyPath(path_);
        refused_ = !parts.hasBackslash || !RootKeyFromPath(path_) || IsProtectedRegistryKey(path_);
    }

    PlanRow Describe() const override {
        PlanRow row{"", "delete key", path_};
        if (refused_) row.reason = "refused: a shared or system key";
        return row;
    }

    ItemResult Do(StepContext& step) override {
        if (refused_)
            return DeletionTrouble(Outcome::kRefused, 0, LoadMessage(kMsgSharedRegistryKeyKept) + " " + path_ + ".");
        const KeyPathParts parts = SplitKeyPath(path_);
        const HKEY root = RootKeyFromPath(path_);
        const std::string subkey(parts.subkey);
        ItemResult result = ItemResult::Done();
        const REGSAM view = TargetView(root, subkey);
        UniqueKey probe;
        const LONG opened = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, probe.put());
        probe.reset();
        LONG rc = opened;
        if (opened == ERROR_SUCCESS && step.journal) {
            // The whole tree is kept before it goes.
            if (const Status saved = step.journal->SaveKeyTree(root, path_, subkey, view); !saved.ok())
                rc = static_cast<LONG>(saved.code());
        }
        if (rc == ERROR_SUCCESS) rc = DeleteKeyTree(root, subkey, view);
        if (opened == ERROR_FILE_NOT_FOUND) {
            result = ItemResult::UpToDate();  // nothing to delete
        } else if (rc != ERROR_SUCCESS) {
            // A key that is there but closed to us, or that does not go, is a failure.
            result = DeletionTrouble(Outcome::kFailed, static_cast<uint32_t>(rc),
                                     LoadMessage(kMsgErrorDeletingRegistryKey) + " " + path_ + ". " +
                                         SystemErrorText(static_cast<uint32_t>(rc)));
        }
        const size_t parent = subkey.rfind('\\');
        if (parent != std::string::npos) DeleteIfEmpty(root, parts.rootName, subkey.substr(0, parent));
        return result;
    }

    Check Verify() const override {
        if (refused_) return Check::NotChecked("refused: a shared or system key");
        UniqueKey key;
        const HKEY root = RootKeyFromPath(path_);
        const std::string subkey(SplitKeyPath(path_).subkey);
        const LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE | TargetView(root, subkey), key.put());
        return Check::Absent(rc != ERROR_FILE_NOT_FOUND, rc == ERROR_SUCCESS ? "present" : "cannot be opened");
    }

private:
    std::string path_;
    bool refused_ = false;
};

}  // namespace

HKEY RootKeyFromPath(std::string_view keyPath) {
    RegistryRoot root;
    return RootFromKeyPath(keyPath, root) ? PredefinedKey(root) : nullptr;
}

void AddRegistryValues(const RegEntryList& entries, WorkItems& items) {
    auto open = std::make_shared<OpenKey>();
    for (size_t i = 0; i < entries.types.size(); ++i) items.push_back(std::make_unique<WriteValueItem>(entries, i, open));
}

void AddRegistryKeyDeletions(const RegKeyList& keys, WorkItems& items) {
    for (const std::string& path : keys.keyPaths) items.push_back(std::make_unique<DeleteKeyItem>(path));
}

}  // namespace dp
