#pragma once
// Test helpers that stand in for the user while they live: message boxes and
// the progress sink of the parsers.
#include <cstdint>
#include <string>
#include <vector>

#include "log/message_box.h"
#include "base/reporting_base.h"

namespace dp::test {

// Records every message box as "caption|text|style" and answers with a
// scripted button.
class BoxRecorder {
public:
    explicit BoxRecorder(int answer = kAnswerOk) : answer(answer) {
        old_ = SetMessageBoxHandler([this](const std::string& t, const std::string& c, unsigned s) {
            boxes.push_back(c + "|" + t + "|" + std::to_string(s));
            return this->answer;
        });
    }
    ~BoxRecorder() { SetMessageBoxHandler(old_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    int answer;
    std::vector<std::string> boxes;

private:
    MessageBoxHandler old_;
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
