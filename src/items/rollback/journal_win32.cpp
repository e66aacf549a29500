// The rollback journal on disk, and the undoing of its records.
#include "items/rollback/journal_win32.h"

#include <sddl.h>
#include <shlwapi.h>

#include <algorithm>
#include <utility>

#include "base/file_system_win32.h"
#include "base/log_text.h"
#include "base/program_win32.h"
#include "base/registry_win32.h"
#include "base/system_text.h"
#include "base/target_architecture.h"
#include "base/text.h"
#include "items/after_reboot/run_once.h"
#include "items/com/com_registration.h"
#include "items/com/com_registration_win32.h"
#include "items/directories/directories.h"
#include "items/files/file_operations.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

constexpr char kJournalName[] = "journal.txt";
constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";

// A decimal field; `fallback` when it is none.
unsigned long NumberField(const std::string& text, unsigned long fallback) {
    if (text.empty() || text.size() > 9) return fallback;
    unsigned long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
        n = n * 10 + static_cast<unsigned long>(c - '0');
    }
    return n;
}

std::string ViewText(REGSAM view) {
    return view & KEY_WOW64_64KEY ? "64" : view & KEY_WOW64_32KEY ? "32" : "";
}
REGSAM ViewOf(const std::string& text) {
    return text == "64" ? KEY_WOW64_64KEY : text == "32" ? KEY_WOW64_32KEY : 0;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = 0;
    return GetPathAttributes(path, attributes) == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = FindLastBackslash(path, &IsSystemLeadByte);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The predefined key a key path names by its root ("HKEY_LOCAL_MACHINE\...").
HKEY RootOf(const std::string& keyPath, std::string& subkey) {
    static const struct {
        const char* name;
        HKEY key;
    } kRoots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                  {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS},
                  {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}};
    const size_t slash = keyPath.find('\\');
    const std::string root = keyPath.substr(0, slash);
    subkey = slash == std::string::npos ? std::string() : keyPath.substr(slash + 1);
    for (const auto& r : kRoots)
        if (root == r.name) return r.key;
    return nullptr;
}
// The current user's hive by its name under HKEY_USERS: a rollback started by
// another account must reach this user's keys, not its own.
std::string CurrentUserHive() {
    static const std::string hive = [] {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string("HKEY_CURRENT_USER");
        UniqueHandle owned(token);
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<char> buffer(size ? size : 1);
        char* text = nullptr;
        if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size) ||
            !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
            return std::string("HKEY_CURRENT_USER");
        std::string name = std::string("HKEY_USERS\\") + text;
        LocalFree(text);
        return name;
    }();
    return hive;
}

std::string RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return CurrentUserHive();
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_USERS) return "HKEY_USERS";
    if (root == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
    return "";
}

// A value's type and data; false when it is not there.
bool ReadValue(HKEY key, const std::string& name, DWORD& type, std::string& data) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    data.assign(size, '\0');
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    data.resize(size);
    return true;
}

// Every subkey (relative to `subkey`) and value of a tree, as journal
// records: "K sub" and "V sub name type hex".
void ExportTree(HKEY root, const std::string& subkey, const std::string& relative, REGSAM view, std::string& out,
                int depth = 0) {
    UniqueKey key;
    if (depth > 512 || RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return;
    out += EncodeJournalRecord({"K", {relative}});
    std::vector<char> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD type = 0, size = 0;
        if (RegEnumValueA(key.get(), i, name.data(), &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        const std::string valueName(name.data(), nameSize);
        std::string data;
        if (ReadValue(key.get(), valueName, type, data))
            out += EncodeJournalRecord({"V", {relative, valueName, std::to_string(type), HexOf(data)}});
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key.get(), i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), nameSize);
    }
    for (const std::string& s : subkeys)
        ExportTree(root, subkey + "\\" + s, relative.empty() ? s : relative + "\\" + s, view, out, depth + 1);
}

Status WriteWholeFile(const std::string& path, const std::string& bytes) {
    uint32_t error = 0;
    UniqueFile file = OpenFileAt(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, error);
    if (!file) return Status(error);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file.get()))
        return Status(GetLastError());
    return Status();
}

// The system's list of renames at the next reboot without the ones that
// concern the path (a replacement of it, or its deletion); the temporary
// copies those would have moved are deleted. How many were taken out.
int RemovePendingRenames(const std::string& path) {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    std::string data;
    if (!ReadValue(key.get(), kPendingRenames, type, data)) return 0;
    std::vector<std::string> parts;
    for (size_t at = 0; at < data.size();) {
        const size_t zero = data.find('\0', at);
        const size_t end = zero == std::string::npos ? data.size() : zero;
        parts.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    // Pairs of source and destination; the list ends with an empty string.
    auto plain = [](std::string p) {
        if (!p.empty() && p[0] == '!') p.erase(0, 1);
        for (const char* prefix : {"\\??\\", "\\\\?\\"})
            if (p.rfind(prefix, 0) == 0) p.erase(0, std::string(prefix).size());
        return p;
    };
    std::string full;
    if (FullPathName(path, full) != 0) full = path;
    std::string kept;
    int removed = 0;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string source = plain(parts[i]), target = plain(parts[i + 1]);
        // This run's own: the replacement of the path by a temporary copy the
        // copy made beside it ("~dp...tmp"), or the path's deletion.
        const std::string sourceName = source.substr(source.find_last_of('\\') + 1);
        const bool ourCopy = EqualNoCase(target, full) && sourceName.rfind("~dp", 0) == 0 &&
                             EqualNoCase(ParentFolder(source), ParentFolder(full));
        const bool ours = ourCopy || (target.empty() && EqualNoCase(source, full));
        if (parts[i].empty() && parts[i + 1].empty()) continue;
        if (ours) {
            ++removed;
            if (!target.empty()) (void)DeleteFileAt(source);  // the copy that would have replaced it
            continue;
        }
        kept += parts[i] + '\0' + parts[i + 1] + '\0';
    }
    if (removed == 0) return 0;
    if (kept.empty()) {
        RegDeleteValueA(key.get(), kPendingRenames);
    } else {
        kept += '\0';
        RegSetValueExA(key.get(), kPendingRenames, 0, type, reinterpret_cast<const BYTE*>(kept.data()),
                       static_cast<DWORD>(kept.size()));
    }
    return removed;
}

// An undo the next reboot finishes.
constexpr uint32_t kDeferred = 0xfffffffeu;
// The change a record prepared was never made (a file recorded as moved aside
// or made that is not there): nothing to undo, nothing to tell.
constexpr uint32_t kNothingDone = 0xfffffffdu;

// Puts a saved file back in its place (over what is there now); a place in
// use takes it at the next reboot.
Status PutBack(const std::string& saved, const std::string& path) {
    if (!PathExists(saved)) return Status();  // never moved: nothing to put back
    uint32_t error = MoveFileAt(saved, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        error = MoveFileAt(saved, path, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
        if (error == 0) return Status(kDeferred);
    }
    return Status(error);
}

Status WriteValueBack(const JournalRecord& r) {
    std::string subkey;
    const HKEY root = RootOf(r.field(0), subkey);
    if (!root) return Status(ERROR_BAD_PATHNAME);
    const REGSAM view = ViewOf(r.field(2));
    UniqueKey key;
    if (r.field(3) != "1") {
        const LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_SET_VALUE | view, key.put());
        if (rc == ERROR_FILE_NOT_FOUND) return Status();
        if (rc != ERROR_SUCCESS) return Status(static_cast<uint32_t>(rc));
        const LONG deleted = RegDeleteValueA(key.get(), r.field(1).c_str());
        return Status(deleted == ERROR_FILE_NOT_FOUND ? 0u : static_cast<uint32_t>(deleted));
    }
    std::string data;
    if (!BytesOfHex(r.field(5), data)) return Status(ERROR_INVALID_DATA);
    if (const Status s = CreateAndOpenKey(root, subkey, KEY_SET_VALUE | view, key); !s.ok()) return s;
    return Status(static_cast<uint32_t>(RegSetValueExA(key.get(), r.field(1).c_str(), 0,
                                                       static_cast<DWORD>(NumberField(r.field(4), REG_BINARY)),
                                                       reinterpret_cast<const BYTE*>(data.data()),
                                                       static_cast<DWORD>(data.size()))));
}

Status DeleteKeyIfEmpty(const JournalRecord& r) {
    std::string subkey;
    const HKEY root = RootOf(r.field(0), subkey);
    if (!root) return Status(ERROR_BAD_PATHNAME);
    const REGSAM view = ViewOf(r.field(1));
    {
        UniqueKey key;
        const LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, key.put());
        if (rc == ERROR_FILE_NOT_FOUND) return Status();
        DWORD subkeys = 0, values = 0;
        if (rc != ERROR_SUCCESS ||
            RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0)
            return Status();  // something else lives there now: it stays
    }
    return Status(static_cast<uint32_t>(RegDeleteKeyExA(root, subkey.c_str(), view, 0)));
}

Status ImportTree(const JournalRecord& r) {
    std::string subkey;
    const HKEY root = RootOf(r.field(0), subkey);
    if (!root) return Status(ERROR_BAD_PATHNAME);
    const REGSAM view = ViewOf(r.field(1));
    std::string text;
    if (const uint32_t error = ReadWholeFile(r.field(2), text)) return Status(error);
    Status first;
    // The tree's lines: "K sub" for a key, "V sub name type hex" for a value.
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            const size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        // Fields are written escaped: a registry name never holds a tab or a
        // line end here, but may hold a backslash.
        for (std::string& f : fields) {
            std::string plain;
            for (size_t i = 0; i < f.size(); ++i) {
                if (f[i] == '\\' && i + 1 < f.size()) {
                    const char c = f[++i];
                    plain += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
                } else {
                    plain += f[i];
                }
            }
            f = std::move(plain);
        }
        if (fields.size() < 2) continue;
        const std::string path = fields[1].empty() ? subkey : subkey + "\\" + fields[1];
        UniqueKey key;
        Status s = CreateAndOpenKey(root, path, KEY_SET_VALUE | view, key);
        if (s.ok() && fields[0] == "V" && fields.size() >= 5) {
            std::string data;
            if (BytesOfHex(fields[4], data))
                s = Status(static_cast<uint32_t>(
                    RegSetValueExA(key.get(), fields[2].c_str(), 0, static_cast<DWORD>(NumberField(fields[3], REG_BINARY)),
                                   reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()))));
        }
        if (first.ok() && !s.ok()) first = s;
    }
    return first;
}

Status WriteSubstitute(const JournalRecord& r) {
    const BOOL ok = WriteProfileStringA("FontSubstitutes", r.field(0).c_str(),
                                        r.field(1) == "1" ? r.field(2).c_str() : nullptr);
    return Status(ok ? 0u : GetLastError());
}

Status WriteRunOnceBack(const JournalRecord& r) {
    UniqueKey key;
    if (const Status s = CreateAndOpenKey(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, KEY_SET_VALUE, key); !s.ok()) return s;
    if (r.field(0) != "1") {
        const LONG rc = RegDeleteValueA(key.get(), kRunOnceValueName);
        return Status(rc == ERROR_FILE_NOT_FOUND ? 0u : static_cast<uint32_t>(rc));
    }
    const std::string& data = r.field(1);
    return Status(static_cast<uint32_t>(RegSetValueExA(key.get(), kRunOnceValueName, 0, REG_SZ,
                                                       reinterpret_cast<const BYTE*>(data.c_str()),
                                                       static_cast<DWORD>(data.size() + 1))));
}

void BroadcastFontChange() {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
}

// Undoes one record; `what` tells it for the log. A program cannot be undone.
Status Undo(const JournalRecord& r, std::string& what, bool& undoable) {
    using namespace journal;
    undoable = true;
    const std::string& path = r.field(0);
    if (r.kind == kFileNew) {
        what = "file " + path + " removed";
        const uint32_t error = DeleteFileAt(path);
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            return Status(DeleteAtReboot(path) ? 0u : error);
        return Status(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kNothingDone : error);
    }
    if (r.kind == kFileSaved) {
        what = "file " + path + " restored";
        if (!PathExists(r.field(1))) return Status(kNothingDone);  // never moved
        return PutBack(r.field(1), path);
    }
    if (r.kind == kFolderNew) {
        what = "folder " + path + " removed";
        const uint32_t error = RemoveFolder(path);
        // A folder that holds what this run did not put there stays.
        return Status(error == ERROR_DIR_NOT_EMPTY || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                          ? 0u
                          : error);
    }
    if (r.kind == kFolderSaved) {
        what = "folder " + path + " restored";
        if (!IsFolder(r.field(1))) return Status();
        if (IsFolder(path)) (void)RemoveFolder(path);
        return Status(MoveFileAt(r.field(1), path, 0));
    }
    if (r.kind == kFolderGone) {
        what = "folder " + path + " made again";
        return Status(CreateFolderIfMissing(path));
    }
    if (r.kind == kRebootReplace) {
        what = "replacement of " + path + " at the reboot withdrawn";
        if (RemovePendingRenames(path) > 0) {
            (void)DeleteFileAt(r.field(1));
            return Status();
        }
        // The reboot came: the kept copy goes back.
        return r.field(1).empty() ? Status() : PutBack(r.field(1), path);
    }
    if (r.kind == kValue) {
        what = "registry value " + r.field(0) + "\\" + (r.field(1).empty() ? "@" : r.field(1)) +
               (r.field(3) == "1" ? " restored" : " removed");
        return WriteValueBack(r);
    }
    if (r.kind == kKeyNew) {
        what = "registry key " + path + " removed";
        return DeleteKeyIfEmpty(r);
    }
    if (r.kind == kKeyTree) {
        what = "registry key " + path + " restored";
        return ImportTree(r);
    }
    if (r.kind == kSubstitute) {
        what = "font substitute " + path + (r.field(1) == "1" ? " restored" : " removed");
        return WriteSubstitute(r);
    }
    if (r.kind == kFontAdded || r.kind == kFontRemoved) {
        const std::string resource = r.field(1).empty() ? path : r.field(1);
        if (r.kind == kFontAdded) {
            what = "font " + path + " withdrawn";
            RemoveFontResourceA(resource.c_str());
            if (!r.field(1).empty()) (void)DeleteFileAt(r.field(1));
        } else {
            what = "font " + path + " added again";
            AddFontResourceA(resource.c_str());
        }
        BroadcastFontChange();
        return Status();
    }
    if (r.kind == kServer) {
        const bool registered = r.field(1) == "registered";
        what = "COM server " + path + (registered ? " unregistered" : " registered again");
        constexpr uint32_t kServerLimitMs = 60000;
        return Status(CallComServerWithin(path, !registered, kServerLimitMs) ? 0u
                                                                            : static_cast<uint32_t>(ERROR_GEN_FAILURE));
    }
    if (r.kind == kList) {
        what = "list " + path + " restored";
        std::vector<std::string> paths(r.fields.begin() + std::min<size_t>(2, r.fields.size()), r.fields.end());
        return Status(RestoreSavedList(path.c_str(), r.field(1) == "1", paths) ? 0u
                                                                               : static_cast<uint32_t>(ERROR_GEN_FAILURE));
    }
    if (r.kind == kRunOnce) {
        what = "start after the reboot " + std::string(r.field(0) == "1" ? "restored" : "removed");
        return WriteRunOnceBack(r);
    }
    // A program that ran.
    undoable = false;
    what = "program " + path + " ran and cannot be undone";
    return Status();
}

}  // namespace

// Whether the program runs with the rights of an administrator.
bool RunsAsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

std::string JournalFolder() {
    // Where only those who may undo what a run did can write: a journal is
    // trusted with deleting and restoring files and keys. An administrator's
    // runs keep it under the program files folder, which other users cannot
    // write; a user's own runs in the user's local application data.
    std::string base = RunsAsAdministrator() ? EnvironmentText("ProgramFiles") : EnvironmentText("LOCALAPPDATA");
    if (base.empty()) base = WindowsDirectory();
    return base + "\\Deployator\\Rollback";
}

std::string JournalFailureText(uint32_t code) {
    return FormatLogMessage(code, kMsgJournalNotWritten, JournalFilePath(JournalFolder()));
}

std::string JournalFilePath(const std::string& folder) { return folder + "\\" + kJournalName; }

Journal::Journal(UniqueFile file, std::string folder, size_t records, std::string runId)
    : file_(std::move(file)), folder_(std::move(folder)), records_(records), runId_(std::move(runId)) {}

std::unique_ptr<Journal> Journal::Begin(const std::string& folder, const std::string& commandLine,
                                        const std::string& logPath, Status& status) {
    for (size_t length = 3; length <= folder.size(); ++length)
        if (length == folder.size() || folder[length] == '\\') (void)CreateFolderIfMissing(folder.substr(0, length));
    // Each run keeps what it moves aside in a folder of its own: nothing an
    // earlier run left there can be taken for this run's.
    std::string runId;
    for (int attempt = 0;; ++attempt) {
        runId = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
                (attempt ? "-" + std::to_string(attempt) : std::string());
        if (CreateDirectoryA((folder + "\\saved-" + runId).c_str(), nullptr)) break;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS || attempt >= 100) {
            status = Status(error);
            return nullptr;
        }
    }
    uint32_t error = 0;
    // A journal already there (one that could not be rolled back) is never
    // written over.
    UniqueFile file = OpenFileAt(JournalFilePath(folder), GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, error);
    if (!file) {
        status = Status(error);
        return nullptr;
    }
    std::unique_ptr<Journal> journal(new Journal(std::move(file), folder, 0, runId));
    journal->pending_ = std::string(kJournalHeader) + "\n";
    status = journal->Record({journal::kBegin, {commandLine, logPath, runId, SixtyFourBitTargets() ? "64" : ""}});
    if (!status.ok()) return nullptr;
    return journal;
}

std::unique_ptr<Journal> Journal::Continue(const std::string& folder, Status& status) {
    std::string text;
    if (const uint32_t error = ReadWholeFile(JournalFilePath(folder), text)) {
        status = Status(error);
        return nullptr;
    }
    const JournalContents contents = ParseJournal(text);
    uint32_t error = 0;
    UniqueFile file = OpenFileAt(JournalFilePath(folder), FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, error);
    if (!file || !contents.recognised) {
        status = Status(file ? static_cast<uint32_t>(ERROR_INVALID_DATA) : error);
        return nullptr;
    }
    status = Status();
    std::string runId;
    for (const JournalRecord& r : contents.records)
        if (r.kind == journal::kBegin) runId = r.field(2);
    return std::unique_ptr<Journal>(new Journal(std::move(file), folder, contents.records.size(), runId));
}

Journal::~Journal() { (void)Flush(); }

Status Journal::Record(const JournalRecord& record, bool flush) {
    // A record of a change that destroys something is written and flushed to
    // the disk before the change. Records of things this run creates are
    // handed to the system a few at a time (a killed run leaves at most those
    // few new files behind; it loses nothing).
    // Once a write failed the journal is not whole: nothing more goes on.
    if (!failed_.ok()) return failed_;
    pending_ += EncodeJournalRecord(record);
    ++records_;
    if (!flush && ++unwritten_ < kRecordsHeldBack) return Status();
    unwritten_ = 0;
    if (const Status s = WritePending(); !s.ok()) return s;
    return flush ? Flush() : Status();
}

Status Journal::WritePending() {
    if (!failed_.ok()) return failed_;
    if (pending_.empty()) return Status();
    DWORD written = 0;
    const BOOL ok = WriteFile(file_.get(), pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr);
    if (!ok || written != pending_.size()) {
        // Never written again in part: the records would stand twice.
        failed_ = Status(ok ? static_cast<DWORD>(ERROR_WRITE_FAULT) : GetLastError());
        return failed_;
    }
    pending_.clear();
    return Status();
}

Status Journal::Flush() {
    if (const Status s = WritePending(); !s.ok()) return s;
    return Status(FlushFileBuffers(file_.get()) ? 0u : GetLastError());
}

std::string Journal::SavedPath() {
    // In folders of kSavedPerFolder files each: a folder of thousands of
    // names makes every new name slow to look up on some file systems.
    const std::string bucket =
        folder_ + "\\saved-" + runId_ + "\\" + std::to_string(records_ / kSavedPerFolder);
    if (bucket != savedBucket_ && CreateFolderIfMissing(bucket) == 0) savedBucket_ = bucket;
    return bucket + "\\" + std::to_string(records_);
}

namespace {

// A copy that is whole or not there: written under a temporary name, on the
// disk, then renamed (a rename in one folder cannot be half done).
Status CopyWhole(const std::string& from, const std::string& to) {
    const std::string partial = to + ".partial";
    if (const uint32_t error = CopyFileAt(from, partial, false)) return Status(error);
    {
        uint32_t error = 0;
        UniqueFile file = OpenFileAt(partial, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, error);
        if (!file || !FlushFileBuffers(file.get())) return Status(file ? GetLastError() : error);
    }
    return Status(MoveFileAt(partial, to, MOVEFILE_REPLACE_EXISTING));
}

}  // namespace

Status Journal::MoveAside(const std::string& path, bool folder) {
    if (!folder) {
        std::string saved;
        if (const Status s = NoteMoveAside(path, saved); !s.ok()) return s;
        if (const Status s = Flush(); !s.ok()) return s;
        return MoveNotedAside(path, saved);
    }
    // A folder is renamed beside itself: a rename is possible on its own volume only.
    const std::string saved = path + ".deployator-rollback-" + std::to_string(records_);
    if (const Status s = Record({journal::kFolderSaved, {path, saved}}); !s.ok()) return s;
    return Status(MoveFileAt(path, saved, 0));
}

Status Journal::NoteMoveAside(const std::string& path, std::string& saved) {
    saved = SavedPath();
    return Record({journal::kFileSaved, {path, saved}}, false);
}

Status Journal::MoveNotedAside(const std::string& path, const std::string& saved) {
    const uint32_t moved = MoveFileAt(path, saved, 0);
    if (moved != ERROR_NOT_SAME_DEVICE) return Status(moved);
    // Across volumes: a whole copy first, then the file goes. A crash before
    // its deletion leaves it in place beside a whole copy of itself.
    if (const Status copied = CopyWhole(path, saved); !copied.ok()) return copied;
    return Status(DeleteFileAt(path));
}

Status Journal::KeepCopyForReboot(const std::string& path) {
    const std::string saved = SavedPath();
    if (const Status s = Record({journal::kRebootReplace, {path, saved}}); !s.ok()) return s;
    return CopyWhole(path, saved);
}

Status Journal::NoteNewFolders(const std::string& folder) {
    // Files of one folder come one after another: its levels are looked at once.
    if (!lastFolder_.empty() && EqualNoCase(folder, lastFolder_)) return Status();
    lastFolder_ = folder;
    // The levels that do not exist yet, outermost first.
    std::vector<std::string> missing;
    for (std::string level = folder; !level.empty() && !PathExists(level); level = ParentFolder(level))
        missing.push_back(level);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (const Status s = Record({journal::kFolderNew, {*it}}, false); !s.ok()) return s;
    return Status();
}

Status Journal::NoteNewFile(const std::string& path, size_t* number) {
    if (const Status s = NoteNewFolders(ParentFolder(path)); !s.ok()) return s;
    if (number) *number = records_;
    return Record({journal::kFileNew, {path}}, false);
}

Status Journal::WithdrawNote(size_t number) { return Record({journal::kUndone, {std::to_string(number)}}); }

Status Journal::NoteNewKeys(HKEY root, const std::string& subkey, REGSAM view) {
    const std::string rootName = RootName(root);
    std::vector<std::string> missing;
    for (std::string level = subkey; !level.empty();) {
        UniqueKey probe;
        if (RegOpenKeyExA(root, level.c_str(), 0, KEY_QUERY_VALUE | view, probe.put()) == ERROR_SUCCESS) break;
        missing.push_back(level);
        const size_t slash = level.rfind('\\');
        level = slash == std::string::npos ? std::string() : level.substr(0, slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (const Status s = Record({journal::kKeyNew, {rootName + "\\" + *it, ViewText(view)}}, false); !s.ok())
            return s;
    return Status();
}

Status Journal::NoteValue(HKEY root, const std::string& keyPath, const std::string& subkey, const std::string& name,
                          REGSAM view) {
    const std::string fullKey = RootName(root) + (subkey.empty() ? "" : "\\" + subkey);
    // The keys of the path that are not there yet go again.
    UniqueKey probe;
    const bool keyThere = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, probe.put()) == ERROR_SUCCESS;
    probe.reset();
    std::vector<std::string> missing;
    if (!keyThere) {
        missing.push_back(subkey);
        if (const Status s = NoteNewKeys(root, subkey, view); !s.ok()) return s;
    }
    DWORD type = 0;
    std::string data;
    bool present = false;
    if (missing.empty()) {
        // Only a value that is not there is kept as absent: one that cannot
        // be read stops the change (its undo would delete it).
        UniqueKey key;
        LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, key.put());
        if (rc == ERROR_SUCCESS) {
            DWORD size = 0;
            rc = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
            if (rc == ERROR_SUCCESS) rc = ReadValue(key.get(), name, type, data) ? ERROR_SUCCESS : ERROR_READ_FAULT;
            present = rc == ERROR_SUCCESS;
        }
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Status(static_cast<uint32_t>(rc));
    }
    (void)keyPath;
    return Record({journal::kValue,
                   {fullKey, name, ViewText(view), present ? "1" : "0", std::to_string(type), HexOf(data)}});
}

Status Journal::SaveKeyTree(HKEY root, const std::string& keyPath, const std::string& subkey, REGSAM view) {
    std::string tree;
    ExportTree(root, subkey, "", view, tree);
    const std::string saved = SavedPath() + ".keys";
    if (const Status s = WriteWholeFile(saved, tree); !s.ok()) return s;
    (void)keyPath;
    return Record({journal::kKeyTree, {RootName(root) + "\\" + subkey, ViewText(view), saved}});
}

RollbackReport RollBack(const std::string& folder, std::FILE* log) {
    RollbackReport report;
    std::string text;
    const std::string path = JournalFilePath(folder);
    if (ReadWholeFile(path, text) != 0) return report;
    const JournalContents contents = ParseJournal(text);
    if (!contents.recognised) {
        report.journalUnreadable = true;
        return report;
    }
    // The paths and views of a 64-bit run are reached as that run reached them.
    std::string runId;
    bool sixtyFourBit = false;
    for (const JournalRecord& r : contents.records)
        if (r.kind == journal::kBegin) {
            runId = r.field(2);
            sixtyFourBit = r.field(3) == "64";
        }
    const bool wasSixtyFourBit = SixtyFourBitTargets();
    if (sixtyFourBit && RunsOnSixtyFourBitSystem()) SetSixtyFourBitTargets(true);
    Status status;
    std::unique_ptr<Journal> journal = Journal::Continue(folder, status);
    if (journal) (void)journal->Record({journal::kRollback, {}});
    for (size_t number : RecordsToUndo(contents.records)) {
        const JournalRecord& r = contents.records[number];
        std::string what;
        bool undoable = true;
        const Status undone = Undo(r, what, undoable);
        if (undone.code() == kNothingDone) {
            // Recorded ahead of a change that never came.
        } else if (!undoable) {
            ++report.notUndone;
            if (log) WriteLogText(log, "Not rolled back: " + what + "\n");
        } else if (undone.ok()) {
            ++report.undone;
            if (log) WriteLogText(log, "Rolled back: " + what + "\n");
        } else if (undone.code() == kDeferred) {
            ++report.undone;
            report.keepSaved = true;  // the reboot moves it back from there
            if (log) WriteLogText(log, "Rolled back at the next reboot: " + what + "\n");
        } else {
            report.keepSaved = true;
            ++report.notUndone;
            if (log) WriteLogText(log, "Not rolled back: " + what + ". " + SystemErrorText(undone.code()) + "\n");
        }
        // Undone (or tried): a rollback that is killed goes on after it.
        if (journal) (void)journal->Record({journal::kUndone, {std::to_string(number)}});
    }
    journal.reset();
    // A file still where it was kept (a put-back that failed or waits for the
    // reboot, in this rollback or in one before it that was cut short) stays.
    for (const JournalRecord& r : contents.records)
        if ((r.kind == journal::kFileSaved || r.kind == journal::kRebootReplace) && !r.field(1).empty() &&
            PathExists(r.field(1)))
            report.keepSaved = true;
    SetSixtyFourBitTargets(wasSixtyFourBit);
    // What could not be put back, or waits for the reboot to be, stays where
    // it was kept (the log names it); the journal itself goes.
    if (report.keepSaved) {
        if (log) WriteLogText(log, "Kept for the rollback: " + folder + "\\saved-" + runId + "\n");
        (void)DeleteFileAt(JournalFilePath(folder));
    } else {
        DiscardJournal(folder, false);
    }
    return report;
}

void DiscardJournal(const std::string& folder, bool succeeded) {
    std::string text;
    (void)ReadWholeFile(JournalFilePath(folder), text);
    const JournalContents contents = ParseJournal(text);
    std::string runId;
    for (const JournalRecord& r : contents.records) {
        if (r.kind == journal::kBegin) runId = r.field(2);
        // A folder a run that succeeded deleted is gone for good now.
        if (succeeded && r.kind == journal::kFolderSaved && IsFolder(r.field(1))) (void)DeleteDirectoryTree(r.field(1));
    }
    if (!runId.empty()) {
        // Saved files lie in folders of their own (directly in the saved
        // folder for journals of earlier versions).
        const auto namesIn = [](const std::string& where) {
            std::vector<std::pair<std::string, bool>> names;
            (void)ListFolder(where, [&names](const std::string& name, DWORD attributes) {
                names.emplace_back(name, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
            });
            return names;
        };
        const std::string saved = folder + "\\saved-" + runId;
        for (const auto& [name, isFolder] : namesIn(saved)) {
            const std::string path = saved + "\\" + name;
            if (!isFolder) {
                (void)DeleteFileAt(path);
                continue;
            }
            for (const auto& [inner, innerFolder] : namesIn(path))
                if (!innerFolder) (void)DeleteFileAt(path + "\\" + inner);
            (void)RemoveFolder(path);
        }
        (void)RemoveFolder(saved);
    }
    (void)DeleteFileAt(JournalFilePath(folder));
    (void)RemoveFolder(folder);  // when nothing else is kept there
}

JournalState ReadJournalState(const std::string& folder, std::string* logPath) {
    std::string text;
    if (ReadWholeFile(JournalFilePath(folder), text) != 0) return JournalState::kNone;
    const JournalContents contents = ParseJournal(text);
    if (!contents.recognised) return JournalState::kUnreadable;
    if (logPath) {
        for (const JournalRecord& r : contents.records)
            if (r.kind == journal::kBegin) *logPath = r.field(1);
    }
    return WaitsForReboot(contents.records) ? JournalState::kWaitsForReboot : JournalState::kUnfinished;
}

std::string SetUnreadableJournalAside(const std::string& folder) {
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = folder + ".unreadable-" + std::to_string(n);
        if (PathExists(aside)) continue;
        return MoveFileAt(folder, aside, 0) == 0 ? aside : std::string();
    }
    return std::string();
}

}  // namespace dp
