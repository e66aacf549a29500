#pragma once
// Lets a check of the script (-CHECK=) follow the reading line by line: each
// section parser names the line it takes up, and the readers of registration
// and key files name the line they reject. Nothing happens while no watcher
// is installed (every ordinary run).
#include <string_view>

namespace dp {

class ReadingWatcher {
public:
    virtual ~ReadingWatcher() = default;
    // A section parser takes up this line of its section (a view into the
    // parser's own copy of the section text).
    virtual void SectionLine(std::string_view line) = 0;
    // A registration or key file reader stops at this line of the file.
    virtual void RejectedFileLine(std::string_view line) = 0;
};

// Installs (or, with nullptr, removes) the process-wide watcher.
void SetReadingWatcher(ReadingWatcher* watcher);

void NoteSectionLine(std::string_view line);
void NoteRejectedFileLine(std::string_view line);

}  // namespace dp
