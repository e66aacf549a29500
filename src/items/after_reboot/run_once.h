#pragma once
// The start of the program after a reboot: the RunOnce value "Deployator".
#include <string>

namespace dp {

constexpr char kRunOnceKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kRunOnceValueName[] = "Deployator";

// The command the system runs after the reboot: the executable's path in
// double quotes (a path with blanks, such as one below Program Files, would
// otherwise start nothing), the run's command line and -AFTERREBOOT, each
// separated by one blank.
std::string ComposeRunOnceCommand(const std::string& exePath, const std::string& commandLine);

// Writes the value under HKEY_LOCAL_MACHINE (Windows only). A key that does
// not open or a value that cannot be written is reported in a box "Error".
// True when it was written.
bool WriteRunOnceEntry(const std::string& commandLine);

}  // namespace dp
