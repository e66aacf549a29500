#pragma once
// The sections of a script in the order they are read, each with its parser.
#include <string>

namespace dp {

class InstallScript;

inline constexpr char kParametersSection[] = "[Parameters]";
inline constexpr char kStringsSection[] = "[Strings]";

struct ScriptSection {
    const char* header;      // "[InstallFiles]"
    bool readAfterReboot;    // read in the run after a reboot too
    // Reads the section's text (without its header) into the model: 1, or 0
    // when the section fails (the reader reports it and stops).
    int (*parse)(InstallScript& script, const std::string& section);
};

constexpr int kScriptSectionCount = 24;
extern const ScriptSection kScriptSections[kScriptSectionCount];

}  // namespace dp
