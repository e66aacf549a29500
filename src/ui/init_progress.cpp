#include "ui/init_progress.h"

#include "base/run_flags.h"
#include "base/text.h"
#include "log/message_box.h"
#include "base/system_text.h"
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

void PollStopOn(InitWindowView& view, int done, int total, int32_t& stop) {
    if (stop == 1) return;
    // The request is taken before the user is asked: a Stop pressed while the
    // box is up is a new request, seen at the next poll.
    if (stopRequested.exchange(0) == 1) {
        int answer = ShowMessageBox(LoadMessage(kMsgConfirmStopInit), LoadMessage(kMsgStoppingInit),
                                    kBoxYesNo | kBoxIconQuestion);
        if (answer == kAnswerYes) {
            stopRequested = 1;  // stays set for the rest of the run
            view.SetSectionLine("");
            view.SetItemLine(LoadMessage(kMsgStoppingInit));
            stop = 1;
            view.Pause(kStopPauseMs);
            return;
        }
    }
    if (total != 0) view.SetBarPosition(ProgressPercent(done, total, view.BarPosition()));
    // Each item of a small section stays in view for a moment; a large one
    // is shown item by item without a pause (2,000 files would otherwise
    // hold the reading for minutes). Stop is seen at every item either way.
    if (total <= kPacedSectionItems) view.Pause(kItemPauseMs);
    stop = 0;
}

}  // namespace dp
