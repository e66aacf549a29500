#include <gtest/gtest.h>

#include "log/message_box.h"
#include "log/system_text.h"

namespace dp {
namespace {

TEST(MessageBoxSeam, HandlerSeesTextAndScriptsAnswer) {
    std::string seen;
    auto old = SetMessageBoxHandler([&](const std::string& text, const std::string& caption,
                                        unsigned style) {
        seen = caption + "|" + text + "|" + std::to_string(style);
        return kAnswerCancel;
    });
    EXPECT_EQ(ShowMessageBox("body", "Error", kBoxOkCancel), kAnswerCancel);
    EXPECT_EQ(seen, "Error|body|1");
    SetMessageBoxHandler(old);
}

TEST(StringTable, KnownAndUnknownIds) {
    EXPECT_EQ(LoadMessage(129), "Error");
    EXPECT_EQ(LoadMessage(152), "-C=IniFile.ini\t\t- configuration file name - required");
    EXPECT_EQ(LoadMessage(166),
              "%s has wrong return code (expected - %i, received - %i).\nInstallation was not completed");
    EXPECT_EQ(LoadMessage(9999), "");
}

}  // namespace
}  // namespace dp
