#pragma once
// Stand-ins for the user and for replaceable functions while they live:
// message boxes, the progress sink of the parsers, any test seam.
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/reporting_base.h"
#include "base/seam.h"
#include "log/message_box.h"

namespace dp::test {

using dp::Replaced;

// Records every message box as "caption|text|style" and answers it with
// `answer`.
class BoxRecorder {
public:
    explicit BoxRecorder(int answer = kAnswerOk) : answer(answer) {}
    int answer;
    std::vector<std::string> boxes;

private:
    Replaced<MessageBoxHandler> handler_{SetMessageBoxHandler,
                                         [this](const std::string& t, const std::string& c, unsigned s) {
                                             boxes.push_back(c + "|" + t + "|" + std::to_string(s));
                                             return answer;
                                         }};
};

// Records progress lines as "kind:text" and polls as "done/total", in order;
// confirms a Stop at the poll of item stopAt.
class ProgressRecorder : public ProgressSink {
public:
    explicit ProgressRecorder(int stopAt = -1) : stopAt_(stopAt) { SetProgressSink(this); }
    ~ProgressRecorder() override { SetProgressSink(nullptr); }
    void ShowProgressLine(const std::string& text, int kind) override {
        events.push_back(std::to_string(kind) + ":" + text);
    }
    void PollStop(int done, int total, int32_t& stop) override {
        events.push_back(std::to_string(done) + "/" + std::to_string(total));
        stop = done == stopAt_ ? 1 : 0;
    }
    std::vector<std::string> events;

private:
    int stopAt_;
};

}  // namespace dp::test
