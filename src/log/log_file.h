#pragma once
// The log file: the run's header, and cutting the closed file down to its
// maximum size.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/log_level.h"

namespace dp {

// What the header's date line shows.
struct LogHeaderFacts {
    int day = 0;
    int month = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    std::string computer;     // "" when the system cannot give it
    std::string user;         // "" when the system cannot give it
    std::string commandLine;  // the process's command line as the system reports it
};

// The header: an empty line, 70 "=", the date line, the command line and, for
// FULL or SHORT, the level line. Each line is flushed. Nothing when log is null.
void WriteLogHeader(std::FILE* log, const LogHeaderFacts& facts, LogLevel logLevel);

// "%s = %s\n" for the first nineteen names and values (the predefined
// variables; fewer when there are fewer). Each line is flushed.
constexpr size_t kPredefinedVariableLines = 19;
void WritePredefinedVariables(std::FILE* log, const std::vector<std::string>& names,
                              const std::vector<std::string>& values);

// The directories of a log path that may have to be created: the text before
// each backslash from the second one on ("C:\A\B\x.log" -> "C:\A", "C:\A\B").
std::vector<std::string> LogDirectories(const std::string& logPath);

// Bytes to keep of a log file with the given maximum in kilobytes; -1 for a
// negative maximum, which means no limit.
int64_t LogSizeLimit(int32_t maxKB);

// The first line a run writes in the fallback log: why its own log
// (logPath) is not written, with the system's text for the failure.
std::string FallbackLogReason(const std::string& logPath, const std::string& systemText);
// The one line a quiet run that another run keeps from starting (1618)
// leaves in the fallback log: date, command line and why.
std::string RefusedRunLine(const LogHeaderFacts& facts);

// ---- Windows only ----------------------------------------------------------

// The log of a quiet run whose own log cannot be opened: "deployator.log" in
// the user's temporary folder.
std::string FallbackLogPath();
// Whether the log can be opened for appending; when it cannot, logPath
// becomes the fallback log and the reason is written to it as the run's
// first line. True when logPath was changed.
bool UseFallbackLogIfUnwritable(std::string& logPath);

// The date, computer, user and command line of the running process.
LogHeaderFacts CurrentLogHeaderFacts();
// WriteLogHeader with the running process's facts.
void WriteLogHeader(std::FILE* log, LogLevel logLevel);
// Appends a text to the log file (opened and closed for it); nothing when it
// cannot be opened.
void AppendToLogFile(const std::string& logPath, const std::string& text);
// Cuts the closed log file to its last maxKB * 1024 bytes (a negative maximum:
// no limit, the file is left alone), in place: the file is never deleted, so
// a failure leaves the log as it was (or with its tail partly moved) but
// never without it.
void LimitLogSize(const std::string& logPath, int32_t maxKB);

}  // namespace dp
