#pragma once
// The program's command line: the script path, the run options and the usage
// box. Options are found by substring search anywhere in the (upper-cased)
// command line; a value runs up to the next " -" or to the end.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dp {

class InstallScript;

// Letters a to z become A to Z; nothing else changes.
void UpperCaseInPlace(char* text);
void UpperCaseInPlace(std::string& text);

// The value of the first occurrence of option (for example "-LF="): the text
// after it up to the next " -", or to the end. Empty when the option is absent.
std::optional<std::string> OptionValue(std::string_view commandLine, std::string_view option);
// The same value as the command line was written before it was upper-cased
// (asWritten: the same text in its own letters).
std::optional<std::string> OptionValueAsWritten(std::string_view commandLine, std::string_view asWritten,
                                                std::string_view option);

// The value of "-C=", or of "-c=" when that is absent. Returns 1 and sets
// path when found, 0 otherwise. The value is taken whole, however long: a
// path the system cannot open is reported when the script is opened, and
// cutting it could name another, existing file.
int GetScriptPath(std::string_view commandLine, std::string& path);

// A path without ":\" is relative to the program directory (which ends with
// a backslash); one leading backslash is dropped first.
std::string ResolveScriptPath(const std::string& path, const std::string& programDirectory);

// Whether the run continues an installation after a reboot: the system's
// RunOnce start adds "-AFTERREBOOT" to the command line.
bool IsAfterRebootRun(std::string_view commandLine);
// "-T" anywhere (also "-t" and "--testinstall" once upper-cased): test-install mode.
bool HasTestInstallOption(std::string_view commandLine);

// The "-LSIZE=" value is read from at most this many characters.
constexpr size_t kMaxLogSizeOption = 259;

// Applies the run options over what [Parameters] set, tested in this order:
// "-LFULL", "-LSHORT", "-LNONE" (the last one found wins), "-T",
// "-AFTERREBOOT", "-LF=", "-LSIZE=". Never clears testInstall. Returns 1.
int ApplyOptions(InstallScript& script, std::string_view commandLine);

// The usage text: messages 150 to 155 joined by line feeds.
std::string UsageText();
// The usage box: caption message 129, OK button, no icon.
void ShowUsage();

}  // namespace dp
