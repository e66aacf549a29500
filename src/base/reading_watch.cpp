#include "base/reading_watch.h"

#include <atomic>

namespace dp {
namespace {
std::atomic<ReadingWatcher*> g_watcher{nullptr};
}

void SetReadingWatcher(ReadingWatcher* watcher) { g_watcher.store(watcher); }

void NoteSectionLine(std::string_view line) {
    if (ReadingWatcher* watcher = g_watcher.load()) watcher->SectionLine(line);
}

void NoteRejectedFileLine(std::string_view line) {
    if (ReadingWatcher* watcher = g_watcher.load()) watcher->RejectedFileLine(line);
}

}  // namespace dp
