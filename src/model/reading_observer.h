#pragma once
// What a check of the script (-CHECK=) sees of the reader: the text as it was
// loaded, each step of the reading, and each section whose parser failed.
// With an observer the reading goes on past a failed section (the observer
// has taken the failure down), so that one check finds every failure.
#include <string>
#include <string_view>

namespace dp {

class InstallScript;
struct ScriptSection;

// The step between [Strings] and the item sections that completes the log
// file's name (LOGFILE of [Parameters]) and opens the log.
inline constexpr std::string_view kLogPathStep = "LOGFILE";

class ReadingObserver {
public:
    virtual ~ReadingObserver() = default;
    // The script's text as loaded, before comments and empty lines are removed.
    virtual void ScriptLoaded(const std::string& text) = 0;
    // The reader turns to the section with this header (before it is cut
    // out), or to kLogPathStep.
    virtual void Turning(std::string_view step) = 0;
    // The section's parser returned 0 on this section text. 1 to go on
    // reading as after a section that succeeded.
    virtual int SectionFailed(InstallScript& script, const ScriptSection& row, const std::string& section) = 0;
};

}  // namespace dp
