#include "log/error_messages.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/system_text.h"
#include "support/recorders.h"

namespace dp {
namespace {

TEST(ErrorBoxes, CompositionCaptionStyleAndAnswer) {
    ASSERT_NE(SystemErrorText(5), "");
    const struct {
        std::function<int()> show;
        std::string box;  // caption|text|style
    } cases[] = {
        {[] { return ShowError(0, 164, kBoxOk); }, "|Error reading of ini file.|0"},
        {[] { return ShowError(5, 135, kBoxOk); },
         "Error|Error of closing application. " + SystemErrorText(5) + "|0"},
        {[] { return ShowErrorDetail(0, 160, "NAME", kBoxOkCancel); }, "|Undefined variable NAME.|1"},
        {[] { return ShowErrorDetail(3, 148, "C:\\Logs", kBoxIconInformation); },
         "Error|Error of creation directory C:\\Logs. " + SystemErrorText(3) + "|64"},
        {[] { return ShowErrorText(0, "100% %s by the caller", kBoxOk); }, "|100% %s by the caller.|0"},
        {[] { return ShowErrorText(112, "Disk", kBoxOk); }, "Error|Disk. " + SystemErrorText(112) + "|0"},
        {[] { return ShowError(0, 9999, kBoxOk); }, "|.|0"},  // a message the table lacks
        // Cut to 780 characters: the detail, and the full stop of a text of 780.
        {[] { return ShowErrorDetail(2, 146, std::string(2000, 'd'), kBoxOk); },
         "Error|" + ("Error opening ini file " + std::string(2000, 'd')).substr(0, 780) + "|0"},
        {[] { return ShowErrorText(0, std::string(779, 't'), kBoxOk); }, "|" + std::string(779, 't') + ".|0"},
        {[] { return ShowErrorText(0, std::string(780, 't'), kBoxOk); }, "|" + std::string(780, 't') + "|0"},
    };
    for (const auto& c : cases) {
        test::BoxRecorder boxes(kAnswerCancel);
        EXPECT_EQ(c.show(), kAnswerCancel);
        EXPECT_EQ(boxes.boxes, std::vector<std::string>{c.box});
    }
}

}  // namespace
}  // namespace dp
