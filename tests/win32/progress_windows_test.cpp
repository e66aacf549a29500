// The initialisation window, the progress dialog and the main thread's wait
// for a worker, on real windows: the worker changes the windows only through
// messages that this (main) thread serves while it waits.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

#include "app/driver_win32.h"
#include "app/message_wait_win32.h"
#include "app/program_win32.h"
#include "app/run_flags.h"
#include "engine/install_context.h"
#include "items/run_once.h"
#include "log/message_box.h"
#include "resources/resource_ids.h"
#include "script/reporting_base.h"
#include "ui/init_window_win32.h"
#include "ui/progress_dialog_win32.h"

namespace dp {
namespace {

std::string Text(HWND window, int control) {
    char buf[1024] = {};
    GetDlgItemTextA(window, control, buf, sizeof buf);
    return buf;
}

int BarPos(HWND window, int control) {
    return static_cast<int>(SendDlgItemMessageA(window, control, PBM_GETPOS, 0, 0));
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
    static void SetUpTestSuite() { commonControls_ = LoadCommonControls(); }
    void SetUp() override {
        ASSERT_NE(commonControls_, nullptr);
        stopRequested = 0;
        installCancelled = 0;
    }
    void TearDown() override {
        stopRequested = 0;
        installCancelled = 0;
    }
    static HMODULE commonControls_;
};
HMODULE ProgressWindows::commonControls_ = nullptr;

TEST_F(ProgressWindows, CommonControlsComeFromTheSystemDirectory) {
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(commonControls_, path, sizeof path), 0u);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    EXPECT_EQ(_strnicmp(path, system, strlen(system)), 0) << path;
    // The progress bar class of both windows is registered.
    WNDCLASSA wc;
    EXPECT_TRUE(GetClassInfoA(nullptr, PROGRESS_CLASSA, &wc));
}

TEST_F(ProgressWindows, InitWindowShowsLinesAndBarFromTheReadingThread) {
    HWND window = CreateInitWindow(ProgramInstance());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(window, IDC_INIT_TITLE),
              "Initializing. Please wait while Deployator checks installed modules...");
    EXPECT_EQ(Text(window, IDC_INIT_SECTION), "Reading section:");

    ReportingBase reporter;
    std::string longItem(400, 'x');
    int32_t stop = 1;
    OnWorker(window, [&] {
        reporter.ShowProgressLine("[InstallFiles]", kSectionLine);
        reporter.ShowProgressLine(longItem, kItemLine);
        stop = 0;
        reporter.PollStop(3, 4, stop);
    });
    EXPECT_EQ(Text(window, IDC_INIT_SECTION), "Reading section: [InstallFiles]");
    std::string item = Text(window, IDC_INIT_ITEM);
    EXPECT_EQ(item.size(), 259u);
    EXPECT_EQ(item.substr(0, 15), "Checking item: ");
    EXPECT_EQ(BarPos(window, IDC_INIT_PROGRESS), 75);
    EXPECT_EQ(stop, 0);

    // Stop button: the flag; the confirmation (answered Yes here) at the next poll.
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_INIT_STOP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_INIT_STOP)));
    EXPECT_EQ(stopRequested.load(), 1);
    auto old = SetMessageBoxHandler([](const std::string&, const std::string&, unsigned) {
        return kAnswerYes;
    });
    OnWorker(window, [&] { reporter.PollStop(4, 4, stop); });
    SetMessageBoxHandler(old);
    EXPECT_EQ(stop, 1);
    EXPECT_EQ(Text(window, IDC_INIT_SECTION), "");
    EXPECT_EQ(Text(window, IDC_INIT_ITEM), "Stopping initializing...");

    EndInitWindow(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(QuitPending());  // its quit message must not end the next box
    EXPECT_EQ(CurrentProgressSink(), nullptr);
    reporter.ShowProgressLine("after", kItemLine);  // no window: nothing happens
}

TEST_F(ProgressWindows, ProgressDialogIsInitialisedOnceWithoutDialogProcedure) {
    InstallContext context(nullptr);
    ASSERT_EQ(context.CreateProgressDialog(), 1);
    HWND dialog = static_cast<HWND>(context.progressWindow);
    ASSERT_NE(dialog, nullptr);
    char cls[64] = {};
    GetClassNameA(dialog, cls, sizeof cls);
    EXPECT_STREQ(cls, "InstWndClass");
    WNDCLASSA wc{};
    ASSERT_TRUE(GetClassInfoA(ProgramInstance(), kProgressClassName, &wc));
    EXPECT_EQ(wc.style, 0x2808u);
    EXPECT_EQ(wc.cbWndExtra, DLGWINDOWEXTRA);
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5)));
    EXPECT_NE(wc.hIcon, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    char title[64] = {};
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "Deployator");
    EXPECT_EQ(Text(dialog, IDC_CANCEL_BUTTON), "Cancel");
    EXPECT_EQ(Text(dialog, IDC_SOURCE_LABEL), "Source file full path:");
    EXPECT_EQ(Text(dialog, IDC_TARGET_LABEL), "Target file full path:");
    PBRANGE range{};
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);

    // A WM_INITDIALOG that does come (as on Windows) does not set them again.
    SetDlgItemTextA(dialog, IDC_CANCEL_BUTTON, "changed");
    SendMessageA(dialog, WM_INITDIALOG, 0, 0);
    EXPECT_EQ(Text(dialog, IDC_CANCEL_BUTTON), "changed");

    OnWorker(dialog, [&] {
        context.ShowSectionName("[InstallFiles]");
        context.ShowPaths("C:\\pkg\\a.dll", "C:\\app\\a.dll");
        context.SetProgressPosition(40);
    });
    EXPECT_EQ(Text(dialog, IDC_SECTION_NAME), "[InstallFiles]");
    EXPECT_EQ(Text(dialog, IDC_SOURCE_PATH), "C:\\pkg\\a.dll");
    EXPECT_EQ(Text(dialog, IDC_TARGET_PATH), "C:\\app\\a.dll");
    EXPECT_EQ(BarPos(dialog, IDC_PROGRESS_BAR), 40);

    context.CloseProgressDialog();
    EXPECT_EQ(context.progressWindow, nullptr);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(GetClassInfoA(ProgramInstance(), kProgressClassName, &wc));
    EXPECT_FALSE(QuitPending());
    context.ShowSectionName("none");  // no window: nothing happens
}

TEST_F(ProgressWindows, CancelAndEscFlagTheInstallAndLeaveTheDialogToTheDriver) {
    for (const char* how : {"button", "esc", "close box"}) {
        SCOPED_TRACE(how);
        InstallContext context(nullptr);
        ASSERT_EQ(context.CreateProgressDialog(), 1);
        HWND dialog = static_cast<HWND>(context.progressWindow);
        std::atomic<bool> sawCancel{false};
        OnWorker(dialog, [&] {
            // The user acts while the worker runs; the worker sees the flag at
            // its next safe point and ends.
            if (std::string(how) == "button")
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            else if (std::string(how) == "esc")
                PostMessageA(GetDlgItem(dialog, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 1);
            else
                PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            for (int i = 0; i < 500 && !installCancelled.load(); ++i) Sleep(10);
            sawCancel = installCancelled.load() != 0;
            context.ShowSectionName("still served");  // the window still exists
        });
        EXPECT_TRUE(sawCancel);
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_FALSE(IsWindowVisible(dialog));
        EXPECT_EQ(Text(dialog, IDC_SECTION_NAME), "still served");
        EXPECT_FALSE(QuitPending());  // the wait swallowed the dialog's quit
        context.CloseProgressDialog();
        EXPECT_FALSE(IsWindow(dialog));
        installCancelled = 0;
    }
}

TEST_F(ProgressWindows, CancelIsIgnoredOnceDisabledForTheEndPhase) {
    InstallContext context(nullptr);
    ASSERT_EQ(context.CreateProgressDialog(), 1);
    HWND dialog = static_cast<HWND>(context.progressWindow);
    DisableProgressCancel(dialog);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(installCancelled.load(), 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    context.CloseProgressDialog();
}

TEST_F(ProgressWindows, WorkerClosesTheDialogThroughTheMainThread) {
    InstallContext context(nullptr);
    ASSERT_EQ(context.CreateProgressDialog(), 1);
    HWND dialog = static_cast<HWND>(context.progressWindow);
    OnWorker(dialog, [&] { context.CloseProgressDialog(); });  // as the reboot path does
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(context.progressWindow, nullptr);
    EXPECT_FALSE(QuitPending());
    // The class was unregistered, so a second dialog registers it anew.
    ASSERT_EQ(context.CreateProgressDialog(), 1);
    context.CloseProgressDialog();
}

double CpuMs(HANDLE thread) {
    FILETIME c, e, k, u;
    GetThreadTimes(thread, &c, &e, &k, &u);
    auto ms = [](FILETIME f) {
        return ((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0;
    };
    return ms(k) + ms(u);
}

// The main thread's wait costs no processor time of its own: it only serves
// what the worker sends (here measured both ways).
TEST_F(ProgressWindows, WaitingForAWorkerUsesNoProcessorTime) {
    InstallContext context(nullptr);
    ASSERT_EQ(context.CreateProgressDialog(), 1);
    HWND dialog = static_cast<HWND>(context.progressWindow);
    HANDLE self = GetCurrentThread();

    double before = CpuMs(self);
    DWORD start = GetTickCount();
    OnWorker(dialog, [] { Sleep(1500); });  // a long copy, say
    double waited = GetTickCount() - start;
    double idle = CpuMs(self) - before;
    std::printf("[ measure  ] main thread, quiet worker: %.1f ms of processor time in %.0f ms\n", idle,
                waited);
    EXPECT_GE(waited, 1400);
    EXPECT_LE(idle, 30);  // the clock counts in 10 ms ticks; polling would take ~all

    before = CpuMs(self);
    start = GetTickCount();
    OnWorker(dialog, [&] {
        for (int i = 0; i < 100; ++i) {
            context.SetProgressPosition(i);
            Sleep(10);
        }
    });
    waited = GetTickCount() - start;
    double busy = CpuMs(self) - before;
    std::printf("[ measure  ] main thread, 100 bar updates: %.1f ms of processor time in %.0f ms "
                "(drawing the bar)\n", busy, waited);
    EXPECT_LT(busy, 0.5 * waited);
    context.CloseProgressDialog();
}

TEST(Driver, CommonControlsVersionCheck) {
    struct Case {
        int major, minor;
        int answer;  // to message 163, if it is asked
        bool asked, stop;
    } cases[] = {
        {6, 0, kAnswerOk, false, false},    {5, 0, kAnswerOk, false, false},
        {4, 71, kAnswerOk, false, false},   {4, 72, kAnswerOk, false, false},
        {4, 70, kAnswerOk, true, true},     {4, 70, kAnswerCancel, true, false},
        {3, 99, kAnswerOk, true, true},     {0, 0, kAnswerCancel, true, false},  // unknown
    };
    for (const Case& c : cases) {
        std::string seen;
        auto old = SetMessageBoxHandler([&](const std::string& text, const std::string& caption, unsigned style) {
            seen = caption + "|" + text + "|" + std::to_string(style);
            return c.answer;
        });
        bool stop = StopForOldCommonControls(c.major, c.minor);
        SetMessageBoxHandler(old);
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        EXPECT_EQ(stop, c.stop);
        EXPECT_EQ(!seen.empty(), c.asked);
        if (c.asked)
            EXPECT_EQ(seen, "|That for normal work Deployator it's required comctl32.dll version greate 4.71. "
                            "Choice Ok to interrupt, or Cancel to continue work .|1");
    }
}

TEST(RunOnce, CommandQuotesTheProgramPath) {
    EXPECT_EQ(ComposeRunOnceCommand("C:\\Program Files\\Kit\\deployator.exe", "-C=SETUP.INI -LFULL"),
              "\"C:\\Program Files\\Kit\\deployator.exe\" -C=SETUP.INI -LFULL -AFTERREBOOT");
    EXPECT_EQ(ComposeRunOnceCommand("C:\\d.exe", ""), "\"C:\\d.exe\"  -AFTERREBOOT");
}

TEST(RunOnce, WritesTheValueUnderHklm) {
    WriteRunOnceEntry("-C=SETUP.INI -LFULL");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    char data[1024] = {};
    DWORD size = sizeof data, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, kRunOnceValueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    std::string want = "\"" + ExecutablePath() + "\" -C=SETUP.INI -LFULL -AFTERREBOOT";
    EXPECT_EQ(std::string(data), want);
    EXPECT_EQ(size, want.size() + 1);  // stored with its terminating zero
    RegDeleteValueA(key, kRunOnceValueName);
    RegCloseKey(key);
}

}  // namespace
}  // namespace dp
