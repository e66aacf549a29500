#pragma once
// Scratch folders, files and scripted message boxes for the Win32 tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/program_win32.h"
#include "items/step_context.h"
#include "log/message_box.h"

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

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

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
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
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

// Runs action(step) for a step with a log at the given level (none at NONE);
// returns what it logged.
template <typename Action>
std::string LoggedStep(LogLevel level, FileList& files, VariableTable& variables, Action action) {
    std::FILE* log = std::tmpfile();
    int32_t reboot = 0;
    std::atomic<uint8_t> cancelled{0};
    StepContext step{level == LogLevel::None ? nullptr : log, level, variables, files, reboot, cancelled};
    action(step);
    std::fseek(log, 0, SEEK_END);
    std::string text(static_cast<size_t>(std::ftell(log)), '\0');
    std::rewind(log);
    text.resize(std::fread(text.data(), 1, text.size(), log));
    std::fclose(log);
    return text;
}

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

// Answers message boxes from a list (OK once it runs out) and records them.
class ScriptedBoxes {
public:
    struct Box {
        std::string text, caption;
        unsigned style;
    };
    explicit ScriptedBoxes(std::vector<int> answers = {}) : answers_(std::move(answers)) {
        old_ = SetMessageBoxHandler([this](const std::string& text, const std::string& caption, unsigned style) {
            shown.push_back({text, caption, style});
            return shown.size() <= answers_.size() ? answers_[shown.size() - 1] : kAnswerOk;
        });
    }
    ~ScriptedBoxes() { SetMessageBoxHandler(old_); }
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;
    std::vector<Box> shown;

private:
    std::vector<int> answers_;
    MessageBoxHandler old_;
};

}  // namespace dp::test
