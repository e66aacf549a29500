#include <windows.h>

#include <vector>

#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/program_win32.h"
#include "base/system_text.h"
#include "log/error_messages.h"
#include "base/log_text.h"
#include "log/log_file.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {

LogHeaderFacts CurrentLogHeaderFacts() {
    LogHeaderFacts facts;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    facts.day = now.wDay;
    facts.month = now.wMonth;
    facts.year = now.wYear;
    facts.hour = now.wHour;
    facts.minute = now.wMinute;

    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerSize = sizeof computer;
    if (GetComputerNameA(computer, &computerSize)) facts.computer = computer;

    char user[257] = {};
    DWORD userSize = sizeof user;
    if (GetUserNameA(user, &userSize)) facts.user = user;

    const char* commandLine = GetCommandLineA();
    facts.commandLine = commandLine ? commandLine : "";
    return facts;
}

void WriteLogHeader(std::FILE* log, LogLevel logLevel) {
    if (!log) return;
    WriteLogHeader(log, CurrentLogHeaderFacts(), logLevel);
}

void AppendToLogFile(const std::string& logPath, const std::string& text) {
    if (std::FILE* log = OpenStreamAt(logPath, "a+")) {
        WriteLogText(log, text);
        std::fclose(log);
    }
}

std::string FallbackLogPath() {
    const std::string temp = GrowingText([](char* buffer, size_t size) {
        return GetTempPathA(static_cast<DWORD>(size), buffer);
    });
    return (temp.empty() || temp.back() == '\\' ? temp : temp + "\\") + "deployator.log";
}

bool UseFallbackLogIfUnwritable(std::string& logPath) {
    if (std::FILE* log = OpenStreamAt(logPath, "a+")) {
        std::fclose(log);
        return false;
    }
    DWORD error = GetLastError();
    if (error == 0) error = ERROR_OPEN_FAILED;
    const std::string fallback = FallbackLogPath();
    AppendToLogFile(fallback, FallbackLogReason(logPath, SystemErrorText(error)));
    logPath = fallback;
    return true;
}

void LimitLogSize(const std::string& logPath, int32_t maxKB) {
    if (maxKB < 0) return;  // no limit
    uint32_t openError = 0;
    UniqueFile file = OpenFileAt(logPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, openError);
    if (!file) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return;
    const int64_t limit = LogSizeLimit(maxKB);
    if (size.QuadPart <= limit) return;

    // Move the last `limit` bytes to the front, chunk by chunk (the source is
    // always ahead of the destination), then cut the file after them. The
    // file is never deleted: a failure on the way leaves the log longer than
    // its limit, not gone.
    const int64_t start = size.QuadPart - limit;
    std::vector<char> chunk(static_cast<size_t>(limit < (1 << 20) ? (limit > 0 ? limit : 1) : (1 << 20)));
    int64_t moved = 0;
    while (moved < limit) {
        DWORD want = static_cast<DWORD>(
            limit - moved < static_cast<int64_t>(chunk.size()) ? limit - moved : chunk.size());
        LARGE_INTEGER at{};
        at.QuadPart = start + moved;
        DWORD got = 0;
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
            !ReadFile(file.get(), chunk.data(), want, &got, nullptr) || got != want)
            return;
        at.QuadPart = moved;
        DWORD written = 0;
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
            !WriteFile(file.get(), chunk.data(), got, &written, nullptr) || written != got)
            return;
        moved += got;
    }
    LARGE_INTEGER end{};
    end.QuadPart = limit;
    if (SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
}

}  // namespace dp
