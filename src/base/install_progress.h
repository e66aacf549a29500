#pragma once
// What the install and end phases show while they work: the current section,
// the current file's paths and the progress bar. The progress dialog is one
// such display; a run without windows has none.
#include <string>

namespace dp {

class InstallProgress {
public:
    virtual ~InstallProgress() = default;
    virtual void ShowSection(const std::string& text) = 0;
    virtual void ShowPaths(const std::string& sourcePath, const std::string& targetPath) = 0;
    // 0 to 100.
    virtual void SetPosition(int percent) = 0;
    // Ends the display; callable from any thread. Nothing is shown afterwards.
    virtual void Close() = 0;
};

}  // namespace dp
