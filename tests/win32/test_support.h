#pragma once
// Scratch folders, files and registry keys, and install steps, for the Win32
// tests. Whatever a helper makes is removed when it goes, also when a test
// fails.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "base/program_win32.h"
#include "engine/work_runner.h"
#include "items/files/file_list.h"
#include "items/work/step_context.h"
#include "script/variable_table.h"
#include "support/recorders.h"

namespace dp::test {

// A fresh folder under the temporary directory, removed with its content.
class ScratchDir {
public:
    ScratchDir() {
        static unsigned counter = 0;
        char base[MAX_PATH + 1] = {};
        GetTempPathA(sizeof base, base);
        path_ = std::string(base) + "dp-files-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        RemoveTree(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchDir() { RemoveTree(path_); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    static void RemoveTree(const std::string& dir) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = data.cFileName, full = dir + "\\" + name;
                if (name == "." || name == "..") continue;
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
                else DeleteFileA(full.c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(dir.c_str());
    }

private:
    std::string path_;
};

inline void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(static_cast<bool>(out << text)) << path;
}

// The file's bytes, or "<missing>".
inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A file time (UTC, noon) of a day, and setting a file's last-write time.
inline uint64_t FileTimeOf(int year, int month, int day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = 12;
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}
inline void SetWriteTime(const std::string& path, uint64_t time) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    FILETIME ft{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

// Copies a test data file (built beside the test program) to dest.
inline void CopyData(const std::string& name, const std::string& dest) {
    const std::string from = ProgramDirectory() + name;
    ASSERT_TRUE(CopyFileA(from.c_str(), dest.c_str(), FALSE)) << from << " " << GetLastError();
}

// Makes a folder the current one while it lives.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir) : old_(GetCurrentDirectoryA(0, nullptr), '\0') {
        old_.resize(GetCurrentDirectoryA(static_cast<DWORD>(old_.size()), old_.data()));
        SetCurrentDirectoryA(dir.c_str());
    }
    ~CurrentDirectory() { SetCurrentDirectoryA(old_.c_str()); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::string old_;
};

// Holds a file open while it lives, with share mode 0 or the one given.
class LockedFile {
public:
    explicit LockedFile(const std::string& path, DWORD share = 0)
        : h_(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedFile() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// ---- Registry ---------------------------------------------------------------

// A value's type and bytes as stored (type 0: no such value).
struct RegValue {
    DWORD type = 0;
    std::string bytes;
    bool operator==(const RegValue&) const = default;
};

inline RegValue ReadRegValue(HKEY root, const std::string& key, const std::string& name, REGSAM view = 0) {
    RegValue v;
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &k) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (RegQueryValueExA(k, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.bytes.resize(size);
        RegQueryValueExA(k, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()), &size);
        v.bytes.resize(size);
    }
    RegCloseKey(k);
    return v;
}

// A text value up to its first zero byte, or "<none>".
inline std::string RegText(HKEY root, const std::string& key, const std::string& name, REGSAM view = 0) {
    const RegValue v = ReadRegValue(root, key, name, view);
    return v.type == REG_SZ || v.type == REG_EXPAND_SZ ? v.bytes.substr(0, v.bytes.find('\0')) : "<none>";
}

// Writes a value (a missing key is created), or deletes it with type 0.
inline void WriteRegValue(HKEY root, const std::string& key, const std::string& name, const RegValue& v) {
    if (v.type)
        RegSetKeyValueA(root, key.c_str(), name.c_str(), v.type, v.bytes.data(), static_cast<DWORD>(v.bytes.size()));
    else
        RegDeleteKeyValueA(root, key.c_str(), name.c_str());
}
inline RegValue RegSz(const std::string& text) { return {REG_SZ, text + '\0'}; }

inline bool KeyExists(HKEY root, const std::string& key) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// A key of the tests' own: deleted with all below it when it is made and when
// it goes.
class ScratchKey {
public:
    explicit ScratchKey(std::string key, HKEY root = HKEY_CURRENT_USER) : root_(root), key_(std::move(key)) {
        SHDeleteKeyA(root_, key_.c_str());
    }
    ~ScratchKey() { SHDeleteKeyA(root_, key_.c_str()); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    const std::string& key() const { return key_; }

private:
    HKEY root_;
    std::string key_;
};

// A value of a key that is not the tests' own, set (or deleted, with
// nullopt) while it lives; then what was there is put back, and a key it had
// to make goes again.
class RegValueScope {
public:
    RegValueScope(HKEY root, std::string key, std::string name, const std::optional<std::string>& text)
        : root_(root), key_(std::move(key)), name_(std::move(name)), old_(ReadRegValue(root_, key_, name_)),
          made_(!KeyExists(root_, key_)) {
        WriteRegValue(root_, key_, name_, text ? RegSz(*text) : RegValue{});
    }
    ~RegValueScope() {
        if (made_) SHDeleteKeyA(root_, key_.c_str());
        else WriteRegValue(root_, key_, name_, old_);
    }
    RegValueScope(const RegValueScope&) = delete;
    RegValueScope& operator=(const RegValueScope&) = delete;

private:
    HKEY root_;
    std::string key_, name_;
    RegValue old_;
    bool made_;
};

// ---- Install steps ------------------------------------------------------------

// Everything written to the stream so far (read from its start; it is left
// at its end for what comes next).
inline std::string ReadStream(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fseek(file, 0, SEEK_END);
    return text;
}

// What an install step works with: a log at `level` in a temporary file (none
// at NONE), variables, a file list, the reboot and cancel flags.
struct Step {
    explicit Step(LogLevel level = LogLevel::Full) : context{level == LogLevel::None ? nullptr : file, level, variables,
                                                            files, reboot, cancelled} {}
    ~Step() { std::fclose(file); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

    // What was logged so far.
    std::string Log() { return ReadStream(file); }

    std::FILE* file = std::tmpfile();
    VariableTable variables;
    FileList files;
    int32_t reboot = 0;
    std::atomic<uint8_t> cancelled{0};
    StepContext context;

    // Carries the items out as one step of a phase (the tally, reports and
    // ends as a phase has them). What the runner returned.
    bool Run(WorkItems items) {
        WorkPhase phase(1);
        phase[0].items = std::move(items);
        return RunWorkPhase(phase, context, cancelled);
    }
};

}  // namespace dp::test
