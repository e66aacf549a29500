// The progress dialog and the main thread's wait for a worker, on real
// windows: the worker changes the dialog only through messages that this
// (main) thread serves while it waits. What the robot sees of the windows is
// checked by the end-to-end scenarios.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/driver_win32.h"
#include "base/message_wait_win32.h"
#include "base/run_flags.h"
#include "engine/install_context.h"
#include "resources/resource_ids.h"
#include "ui/progress_dialog_win32.h"
#include "support/recorders.h"

namespace dp {
namespace {

std::string Text(HWND window, int control) {
    char buf[1024] = {};
    GetDlgItemTextA(window, control, buf, sizeof buf);
    return buf;
}

DWORD WINAPI CallOnWorker(LPVOID p) {
    (*static_cast<std::function<void()>*>(p))();
    return 0;
}

// Runs fn on a worker thread and waits for it the way the driver does.
void OnWorker(HWND dialog, std::function<void()> fn) {
    HANDLE thread = CreateThread(nullptr, 0, CallOnWorker, &fn, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(WaitPumping(thread, dialog));
    CloseHandle(thread);
}

bool QuitPending() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

class ProgressWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(LoadCommonControls(), nullptr); }
    void SetUp() override { installCancelled = 0; }
    void TearDown() override { installCancelled = 0; }
};

TEST_F(ProgressWindows, ProgressDialogIsInitialisedOnceAndClosedThroughTheMainThread) {
    std::unique_ptr<ProgressDialog> progress = ProgressDialog::Create();
    ASSERT_TRUE(progress);
    HWND dialog = progress->window();
    ASSERT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(Text(dialog, IDC_CANCEL_BUTTON), "Cancel");
    // Initialised without a dialog procedure (Wine sends no WM_INITDIALOG to
    // such a dialog); one that does come, as on Windows, changes nothing.
    SetDlgItemTextA(dialog, IDC_CANCEL_BUTTON, "changed");
    SendMessageA(dialog, WM_INITDIALOG, 0, 0);
    EXPECT_EQ(Text(dialog, IDC_CANCEL_BUTTON), "changed");

    OnWorker(dialog, [&] { progress->Close(); });  // as the reboot path does
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(progress->window(), nullptr);
    EXPECT_FALSE(QuitPending());
    progress->ShowSection("none");  // no window: nothing happens
    // The class was unregistered, so a second dialog registers it anew.
    ASSERT_TRUE(ProgressDialog::Create());
}

// The close box cancels like the Cancel button and Esc (cancel_*.scn): the
// flag is set and the dialog is left to the driver.
TEST_F(ProgressWindows, CloseBoxFlagsTheInstallAndLeavesTheDialogToTheDriver) {
    std::unique_ptr<ProgressDialog> progress = ProgressDialog::Create();
    ASSERT_TRUE(progress);
    HWND dialog = progress->window();
    bool sawCancel = false;
    OnWorker(dialog, [&] {
        // The user acts while the worker runs; the worker sees the flag at
        // its next safe point and ends.
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        for (int i = 0; i < 500 && !installCancelled.load(); ++i) Sleep(10);
        sawCancel = installCancelled.load() != 0;
        progress->ShowSection("still served");  // the window still exists
    });
    EXPECT_TRUE(sawCancel);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(Text(dialog, IDC_SECTION_NAME), "still served");
    EXPECT_FALSE(QuitPending());  // the wait swallowed the dialog's quit
}

TEST_F(ProgressWindows, CancelIsIgnoredOnceDisabledForTheEndPhase) {
    std::unique_ptr<ProgressDialog> progress = ProgressDialog::Create();
    ASSERT_TRUE(progress);
    HWND dialog = progress->window();
    progress->DisableCancel();
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(installCancelled.load(), 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST(Driver, CommonControlsVersionCheck) {
    const struct {
        int major, minor, answer;  // the answer to message 163, if it is asked
        bool asked, stop;
    } cases[] = {
        {5, 0, kAnswerOk, false, false},  {4, 71, kAnswerOk, false, false}, {4, 70, kAnswerOk, true, true},
        {4, 70, kAnswerCancel, true, false}, {0, 0, kAnswerOk, true, true},  // unknown
    };
    for (const auto& c : cases) {
        test::BoxRecorder boxes(c.answer);
        EXPECT_EQ(StopForOldCommonControls(c.major, c.minor), c.stop) << c.major << "." << c.minor;
        EXPECT_EQ(boxes.boxes.size(), c.asked ? 1u : 0u) << c.major << "." << c.minor;
    }
    test::BoxRecorder boxes;
    StopForOldCommonControls(4, 0);
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"|That for normal work Deployator it's required comctl32.dll "
                                                    "version greate 4.71. Choice Ok to interrupt, or Cancel to "
                                                    "continue work .|1"});
}

}  // namespace
}  // namespace dp
