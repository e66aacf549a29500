#include "ui/init_progress.h"

#include "app/run_flags.h"
#include "log/message_box.h"
#include "log/system_text.h"
#include "resources/message_ids.h"

namespace dp {
namespace {
constexpr int kItemPauseMs = 100;
constexpr int kStopPauseMs = 500;
}  // namespace

std::string ComposeProgressLine(const std::string& text, int kind) {
    std::string line = LoadMessage(kind == 1 ? kMsgReadingSection : kMsgCheckingItem);
    if (line.size() < kMaxProgressLine) line.append(text, 0, kMaxProgressLine - line.size());
    if (line.size() > kMaxProgressLine) line.resize(kMaxProgressLine);
    return line;
}

int ProgressPercent(int64_t done, int64_t total, int current) {
    if (total == 0) return current;
    return static_cast<int>(done * 100 / total);
}

void PollStopOn(InitWindowView& view, int done, int total, int32_t& stop) {
    if (stop == 1) return;
    if (stopRequested.load() == 1) {
        int answer = ShowMessageBox(LoadMessage(kMsgConfirmStopInit), LoadMessage(kMsgStoppingInit),
                                    kBoxYesNo | kBoxIconQuestion);
        if (answer == kAnswerYes) {
            view.SetSectionLine("");
            view.SetItemLine(LoadMessage(kMsgStoppingInit));
            stop = 1;
            view.Pause(kStopPauseMs);
            return;
        }
        stopRequested = 0;
    }
    if (total != 0) view.SetBarPosition(ProgressPercent(done, total, view.BarPosition()));
    view.Pause(kItemPauseMs);
    stop = 0;
}

}  // namespace dp
