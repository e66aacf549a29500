#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/error_messages.h"
#include "log/message_box.h"
#include "log/system_text.h"

namespace dp {
namespace {

struct Box {
    std::string text;
    std::string caption;
    unsigned style;
};

// Records the boxes and answers with the given button.
class Boxes {
public:
    explicit Boxes(int answer) {
        old_ = SetMessageBoxHandler([this, answer](const std::string& text,
                                                   const std::string& caption, unsigned style) {
            shown.push_back({text, caption, style});
            return answer;
        });
    }
    ~Boxes() { SetMessageBoxHandler(old_); }
    std::vector<Box> shown;

private:
    MessageBoxHandler old_;
};

TEST(ErrorBoxes, CompositionCaptionAndStyle) {
    Boxes boxes(kAnswerOk);
    EXPECT_EQ(ShowError(0, 164, kBoxOk), kAnswerOk);
    EXPECT_EQ(ShowError(5, 135, kBoxOk), kAnswerOk);
    EXPECT_EQ(ShowErrorDetail(0, 160, "NAME", kBoxOk), kAnswerOk);
    EXPECT_EQ(ShowErrorDetail(2, 146, "C:\\a.ini", kBoxOk), kAnswerOk);
    EXPECT_EQ(ShowErrorDetail(3, 148, "C:\\Logs", kBoxIconInformation), kAnswerOk);
    EXPECT_EQ(ShowErrorText(0, "Composed 100% by the caller", kBoxOkCancel), kAnswerOk);
    EXPECT_EQ(ShowErrorText(112, "Disk", kBoxOk), kAnswerOk);
    EXPECT_EQ(ShowError(0, 9999, kBoxOk), kAnswerOk);  // a message the table lacks

    const std::vector<Box> expected = {
        {"Error reading of ini file.", "", 0},
        {"Error of closing application. " + SystemErrorText(5), "Error", 0},
        {"Undefined variable NAME.", "", 0},
        {"Error opening ini file C:\\a.ini. " + SystemErrorText(2), "Error", 0},
        {"Error of creation directory C:\\Logs. " + SystemErrorText(3), "Error", 0x40},
        {"Composed 100% by the caller.", "", 1},
        {"Disk. " + SystemErrorText(112), "Error", 0},
        {".", "", 0},
    };
    ASSERT_EQ(boxes.shown.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(boxes.shown[i].text, expected[i].text) << i;
        EXPECT_EQ(boxes.shown[i].caption, expected[i].caption) << i;
        EXPECT_EQ(boxes.shown[i].style, expected[i].style) << i;
    }
    EXPECT_NE(SystemErrorText(2), "");
}

TEST(ErrorBoxes, ReturnsTheButtonPressed) {
    Boxes cancel(kAnswerCancel);
    EXPECT_EQ(ShowError(0, 162, kBoxOkCancel), kAnswerCancel);
    EXPECT_EQ(ShowErrorDetail(0, 147, "[Strings]", kBoxOkCancel), kAnswerCancel);
    EXPECT_EQ(ShowErrorText(0, "x", kBoxOkCancel), kAnswerCancel);
}

TEST(ErrorBoxes, LongCompositionsAreCutTo780Characters) {
    Boxes boxes(kAnswerOk);
    const std::string longDetail(2000, 'd');
    ShowErrorDetail(2, 146, longDetail, kBoxOk);
    ShowErrorText(0, std::string(779, 't'), kBoxOk);  // 779 + "." fits exactly
    ShowErrorText(0, std::string(780, 't'), kBoxOk);  // the full stop is cut off
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[0].text, ("Error opening ini file " + longDetail).substr(0, 780));
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[1].text, std::string(779, 't') + ".");
    EXPECT_EQ(boxes.shown[2].text, std::string(780, 't'));
}

}  // namespace
}  // namespace dp
