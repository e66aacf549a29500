// The install and end phases on real files, with the message boxes scripted
// and, where a disk or a reboot cannot be produced on demand, the copy faked.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/program_win32.h"
#include "app/run_flags.h"
#include "engine/install_context.h"
#include "engine/install_phases_win32.h"
#include "items/files/file_operations.h"
#include "log/message_box.h"
#include "log/system_text.h"
#include "resources/resource_ids.h"
#include "script/install_script.h"

namespace dp {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// What a text-mode log holds on disk for the text written.
std::string OnDisk(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = f.cFileName;
            if (name == "." || name == "..") continue;
            std::string p = dir + "\\" + name;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(p);
            } else {
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(p.c_str());
            }
        } while (FindNextFileA(h, &f));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Whether the RunOnce entry of the program exists; removes it, so that no
// later start of the Wine server runs the tests again.
bool TakeRunOnceEntry() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool found = RegQueryValueExA(key, "Deployator", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegDeleteValueA(key, "Deployator");
    RegCloseKey(key);
    return found;
}

struct Box {
    std::string text, caption;
    unsigned style;
};

// Copy fakes. The test sets what the fake does with each call.
int g_copyCalls = 0;
int g_failOnCall = 0;         // this call fails ...
uint32_t g_failCode = 0;      // ... with this code
int32_t g_failScheduled = 0;  // ... and says whether it scheduled the replacement
bool g_cancelAfterCall = false;

uint32_t FakeCopy(const std::string& source, const std::string& target, std::FILE* log, int32_t& reboot) {
    ++g_copyCalls;
    if (g_copyCalls == g_failOnCall) {
        if (g_failScheduled) reboot = 1;
        return g_failCode;
    }
    uint32_t code = CopyPackageFile(source, target, log, reboot);
    if (g_cancelAfterCall && g_copyCalls == 2) installCancelled = 1;  // Cancel pressed meanwhile
    return code;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "dp_engine_" + std::to_string(GetCurrentProcessId());
        RemoveTree(root_);
        CreateDirectoryA(root_.c_str(), nullptr);
        pkg_ = root_ + "\\pkg\\";
        app_ = root_ + "\\app\\";
        CreateDirectoryA(pkg_.c_str(), nullptr);
        CreateDirectoryA(app_.c_str(), nullptr);
        script_ = std::make_unique<InstallScript>(root_ + "\\");
        script_->logPath = root_ + "\\install.log";
        boxes_.clear();
        oldBox_ = SetMessageBoxHandler([this](const std::string& text, const std::string& caption, unsigned style) {
            boxes_.push_back({text, caption, style});
            return kAnswerOk;
        });
        g_copyCalls = g_failOnCall = 0;
        g_failCode = 0;
        g_failScheduled = 0;
        g_cancelAfterCall = false;
    }
    void TearDown() override {
        SetCopyFunctionForTesting(nullptr);
        SetMessageBoxHandler(oldBox_);
        installCancelled = 0;
        script_.reset();
        RemoveTree(root_);
    }

    std::string Dll(const char* name) { return ReadAll(ProgramDirectory() + name); }

    // An install item as the install sections record it.
    FileItem& Install(const std::string& name, const std::string& sourceData, const std::string* targetData,
                      const std::string& sourceVersion, const std::string& targetVersion) {
        FileItem it;
        it.rowKey = script_->fileList.count();
        it.targetPath = (targetDir_.empty() ? app_ : targetDir_) + name;
        it.sourcePath = pkg_ + name;
        it.targetName = it.sourceName = name;
        it.sourceExists = 1;
        WriteAll(it.sourcePath, sourceData);
        it.sourceVersionText = sourceVersion;
        it.sourceDetails = std::to_string(sourceData.size()) + "; 1.1.2024";
        if (targetData) {
            WriteAll(it.targetPath, *targetData);
            it.targetExists = 1;
            it.targetVersionText = targetVersion;
            it.targetDetails = std::to_string(targetData->size()) + "; 1.1.2023";
        } else {
            it.targetVersionText = "- not found -";
        }
        it.needsUpdate = it.selected = 1;
        script_->fileList.items.push_back(it);
        return script_->fileList.items.back();
    }
    FileItem& Delete(const std::string& name, bool exists) {
        FileItem it;
        it.rowKey = script_->fileList.count();
        it.deleteItem = it.selected = it.needsUpdate = 1;
        it.sourcePath = it.sourceVersionText = it.sourceDetails = " ";
        it.sourceName = "- need to be deleted -";
        it.targetPath = app_ + name;
        it.targetName = name;
        if (exists) {
            WriteAll(it.targetPath, "old");
            it.targetExists = 1;
            it.targetVersionText = "1.1.2020";
            it.targetDetails = "3; 1.1.2020";
        } else {
            it.targetVersionText = "- not found -";
        }
        script_->fileList.items.push_back(it);
        return script_->fileList.items.back();
    }

    // The deletions and copies of the main scenario.
    void MainScenario() {
        const std::string v1000 = Dll("verdll_1000.dll"), v1001 = Dll("verdll_1001.dll");
        ASSERT_FALSE(v1000.empty());
        Delete("old.txt", true);
        Delete("gone.txt", false);
        Install("core.dll", v1001, &v1000, "1.0.0.1", "1.0.0.0");
        Install("readme.txt", "hello\n", nullptr, "1.1.2024", "");
        FileItem& missing = Install("missing.dll", "", nullptr, "- not found -", "");
        DeleteFileA(missing.sourcePath.c_str());
        missing.sourceExists = 0;
        missing.needsUpdate = missing.selected = 0;
        missing.sourceDetails = "";
        missing.selected = 1;  // marked by the user although it cannot be installed
        const std::string older = "older";
        FileItem& upToDate = Install("same.txt", "package", &older, "1.1.2024", "1.1.2023");
        upToDate.needsUpdate = upToDate.selected = 0;  // not marked: neither shown nor logged
        FileItem& userPick = Install("picked.txt", "picked", &older, "1.1.2024", "1.1.2023");
        userPick.needsUpdate = 0;
        FileItem& always = Install("always.txt", "always", &older, "1.1.2024", "1.1.2023");
        always.always = 1;
    }

    // Five files of `size` bytes into `folder`, the third over an old target;
    // the disk fills at the third (for real, or through the copy fake).
    void DiskFullOnTheThirdOfFive(const std::string& folder, size_t size) {
        targetDir_ = folder;
        const std::string older = "old third";
        for (int i = 1; i <= 5; ++i) {
            const std::string name = "f" + std::to_string(i) + ".txt";
            DeleteFileA((folder + name).c_str());
            Install(name, std::string(size, char('0' + i)), i == 3 ? &older : nullptr, "1.1.2024", "1.1.2023");
        }
        script_->logLevel = kLogShort;
        InstallContext context(script_.get());
        EXPECT_EQ(installCancelled.load(), 0);
        EXPECT_EQ(context.RunInstallPhase(), 0);

        EXPECT_EQ(installCancelled.load(), 1);
        EXPECT_EQ(ReadAll(folder + "f1.txt"), std::string(size, '1'));
        EXPECT_EQ(ReadAll(folder + "f2.txt"), std::string(size, '2'));
        EXPECT_EQ(ReadAll(folder + "f3.txt"), "old third");
        EXPECT_FALSE(Exists(folder + "f4.txt"));
        EXPECT_FALSE(Exists(folder + "f5.txt"));

        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text, "File " + pkg_ +
                                      "f3.txt is not installed because there is not enough space on the disk.\n"
                                      "Installation will be cancelled.\nPlease free disk space and run installation "
                                      "again.");
        EXPECT_EQ(boxes_[0].caption, "");
        EXPECT_EQ(boxes_[0].style, kBoxOk);

        const std::string log = ReadAll(script_->logPath);
        const std::string last = OnDisk("Updated " + folder + "f3.txt (1.1.2024; " + std::to_string(size) +
                                        "; 1.1.2024) [By rule] [There is not enough space on the disk. File is "
                                        "not installed], error code = 112\n");
        ASSERT_GE(log.size(), last.size());
        EXPECT_EQ(log.substr(log.size() - last.size()), last);

        // A new context clears the flag.
        InstallContext next(script_.get());
        EXPECT_EQ(installCancelled.load(), 0);
    }

    std::string root_, pkg_, app_, targetDir_;
    std::unique_ptr<InstallScript> script_;
    std::vector<Box> boxes_;
    MessageBoxHandler oldBox_;
};

const char* const kInstallHeadingsBefore[] = {"\n[RunFileFirst]\n", "\n[DeleteShortcuts]\n", "\n[DelRegEntries]\n",
                                              "\n[DelFilesFirst]\n"};

std::string InstallPhaseHeadingsAfterCopy() { return "\n[AddShortCut]\n\n[DeleteFontSubstitutes]\n\n[SetFontSubstitutes]\n"; }
std::string EndPhaseHeadings() { return "\n[ComRegistration]\n\n[RunFileEnd]\n\n[DeleteFileEnd]\n"; }

TEST_F(EngineTest, FullShortAndNoneLogEveryHandledItemInOrder) {
    for (int level : {kLogFull, kLogShort, kLogNone}) {
        SCOPED_TRACE(level);
        TearDown();
        SetUp();
        MainScenario();
        script_->logLevel = level;
        InstallContext context(script_.get());
        ASSERT_EQ(context.RunInstallPhase(), 1);
        ASSERT_EQ(context.RunEndPhase(), 1);

        // On disk, whatever the level.
        EXPECT_FALSE(Exists(app_ + "old.txt"));
        EXPECT_EQ(ReadAll(app_ + "core.dll"), Dll("verdll_1001.dll"));
        EXPECT_EQ(ReadAll(app_ + "readme.txt"), "hello\n");
        EXPECT_FALSE(Exists(app_ + "missing.dll"));
        EXPECT_EQ(ReadAll(app_ + "same.txt"), "older");
        EXPECT_EQ(ReadAll(app_ + "picked.txt"), "picked");
        EXPECT_EQ(ReadAll(app_ + "always.txt"), "always");
        EXPECT_TRUE(boxes_.empty());
        EXPECT_EQ(script_->rebootRequired, 0);

        if (level == kLogNone) {
            EXPECT_FALSE(Exists(script_->logPath));
            continue;
        }
        std::string expected;
        for (const char* h : kInstallHeadingsBefore) expected += h;
        const std::string app = app_, pkg = pkg_;
        if (level == kLogFull) {
            expected += app + "old.txt (1.1.2020; 3; 1.1.2020) is deleted\n";
        } else {
            expected += "Updated " + app + "old.txt ( ;  ) [By rule]\n";
        }
        expected += "Error deleting file " + app + "gone.txt. " + SystemErrorText(2) + "\n";
        expected += "\n[Copying file]\n";
        if (level == kLogFull) {
            expected += app + "core.dll (1.0.0.0; " + std::to_string(Dll("verdll_1000.dll").size()) +
                        "; 1.1.2023) is replaced by " + pkg + "core.dll (1.0.0.1; " +
                        std::to_string(Dll("verdll_1001.dll").size()) + "; 1.1.2024) [By rule]\n";
            expected += app + "readme.txt (1.1.2024; 6; 1.1.2024) is installed\n";
            expected += "Error coping: source file not found " + pkg + "missing.dll\n";
            expected += app + "picked.txt (1.1.2023; 5; 1.1.2023) is replaced by " + pkg +
                        "picked.txt (1.1.2024; 6; 1.1.2024) [By user checked]\n";
            expected += app + "always.txt (1.1.2023; 5; 1.1.2023) is replaced by " + pkg +
                        "always.txt (1.1.2024; 6; 1.1.2024) \n";
        } else {
            expected += "Updated " + app + "core.dll (1.0.0.1; " + std::to_string(Dll("verdll_1001.dll").size()) +
                        "; 1.1.2024) [By rule]\n";
            expected += "Updated " + app + "readme.txt (1.1.2024; 6; 1.1.2024) [By rule]\n";
            expected += "Error coping: source file not found " + pkg + "missing.dll\n";
            expected += "Updated " + app + "picked.txt (1.1.2024; 6; 1.1.2024) [By user checked]\n";
            expected += "Updated " + app + "always.txt (1.1.2024; 6; 1.1.2024) \n";
        }
        expected += InstallPhaseHeadingsAfterCopy() + EndPhaseHeadings();

        // Line by line, so that a difference names its line.
        std::istringstream got(ReadAll(script_->logPath)), want(OnDisk(expected));
        std::string g, w;
        int n = 0;
        while (std::getline(want, w)) {
            ++n;
            ASSERT_TRUE(std::getline(got, g)) << "log ends before line " << n << ": " << w;
            EXPECT_EQ(g, w) << "line " << n;
        }
        EXPECT_FALSE(std::getline(got, g)) << "extra line: " << g;
    }
}

TEST_F(EngineTest, DiskFullOnTheThirdOfFiveStopsThereAndCancels) {
    g_failOnCall = 3;
    g_failCode = 112;
    SetCopyFunctionForTesting(&FakeCopy);
    DiskFullOnTheThirdOfFive(app_, 5);
    EXPECT_EQ(g_copyCalls, 3);
}

// The same on a real drive of 1 MB (tmpfs_drive.sh, beside the tests; skipped
// where nothing can be mounted).
TEST_F(EngineTest, RealDiskFullOnTheThirdOfFive) {
    const std::string helper = ProgramDirectory() + "tmpfs_drive.sh";
    if (!Exists(helper) || helper.find(' ') != std::string::npos) GTEST_SKIP() << "no tmpfs_drive.sh";
    std::system((helper + " mount q 1m").c_str());
    ULARGE_INTEGER freeBytes{}, total{}, totalFree{};
    for (int i = 0; i < 40; ++i) {
        if (GetDiskFreeSpaceExA("Q:\\", &freeBytes, &total, &totalFree) && total.QuadPart <= 2u * 1024 * 1024) break;
        Sleep(50);
    }
    if (total.QuadPart == 0 || total.QuadPart > 2u * 1024 * 1024) GTEST_SKIP() << "cannot mount a tmpfs drive";
    struct Unmount {
        std::string command;
        ~Unmount() { std::system(command.c_str()); }
    } unmount{helper + " unmount q"};
    DiskFullOnTheThirdOfFive("Q:\\", 400 * 1024);
}

TEST_F(EngineTest, DiskFullWithoutLogStillAsks) {
    Install("a.txt", "a", nullptr, "1.1.2024", "");
    script_->logLevel = kLogNone;
    g_failOnCall = 1;
    g_failCode = 112;
    SetCopyFunctionForTesting(&FakeCopy);
    InstallContext context(script_.get());
    EXPECT_EQ(context.RunInstallPhase(), 0);
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(installCancelled.load(), 1);
    EXPECT_FALSE(Exists(script_->logPath));
}

TEST_F(EngineTest, FailedCopyIsAfterRebootOnlyWhenScheduled) {
    struct Case {
        uint32_t code;
        int32_t scheduled;
        int32_t rebootBefore;
        const char* note;
        int32_t rebootAfter;
    };
    const Case cases[] = {
        {32, 1, 0, " [After Reboot], error code = 32\n", 1},
        {5, 0, 0, " [File is not installed], error code = 5\n", 0},
        // An earlier deletion already wants a reboot: this copy was still not scheduled.
        {32, 0, 1, " [File is not installed], error code = 32\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note);
        TearDown();
        SetUp();
        Install("x.txt", "x", nullptr, "1.1.2024", "");
        script_->logLevel = kLogShort;
        script_->rebootRequired = c.rebootBefore;
        g_failOnCall = 1;
        g_failCode = c.code;
        g_failScheduled = c.scheduled;
        SetCopyFunctionForTesting(&FakeCopy);
        EXPECT_EQ(RunOrdinaryInstallWithoutWindows(*script_), 1);
        EXPECT_EQ(script_->rebootRequired, c.rebootAfter);
        const std::string log = ReadAll(script_->logPath);
        EXPECT_NE(log.find(OnDisk("Updated " + app_ + "x.txt (1.1.2024; 1; 1.1.2024) [By rule]" + c.note)),
                  std::string::npos)
            << log;
        // A reboot postpones the end phase to the start after the reboot.
        EXPECT_EQ(log.find("[ComRegistration]") != std::string::npos, c.rebootAfter == 0);
        EXPECT_EQ(TakeRunOnceEntry(), c.rebootAfter != 0);
    }
}

TEST_F(EngineTest, CancelStopsBetweenItemsAndBetweenSteps) {
    for (int i = 1; i <= 4; ++i) Install("c" + std::to_string(i) + ".txt", "new", nullptr, "1.1.2024", "");
    script_->logLevel = kLogShort;
    g_cancelAfterCall = true;
    SetCopyFunctionForTesting(&FakeCopy);
    InstallContext context(script_.get());
    EXPECT_EQ(context.RunInstallPhase(), 0);
    EXPECT_EQ(g_copyCalls, 2);
    EXPECT_TRUE(Exists(app_ + "c2.txt"));
    EXPECT_FALSE(Exists(app_ + "c3.txt"));
    const std::string log = ReadAll(script_->logPath);
    EXPECT_NE(log.find("c2.txt"), std::string::npos);
    EXPECT_EQ(log.find("[AddShortCut]"), std::string::npos);
    EXPECT_TRUE(boxes_.empty());

    // Cancelled before the phase starts: nothing at all is done.
    installCancelled = 1;
    DeleteFileA(script_->logPath.c_str());
    EXPECT_EQ(context.RunInstallPhase(), 0);
    EXPECT_EQ(ReadAll(script_->logPath), "");
    EXPECT_FALSE(Exists(app_ + "c3.txt"));
}

TEST_F(EngineTest, LogThatCannotBeOpened) {
    Install("a.txt", "a", nullptr, "1.1.2024", "");
    script_->logPath = root_ + "\\no such folder\\install.log";
    InstallContext context(script_.get());
    EXPECT_EQ(context.RunInstallPhase(), 0);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Error of creation log file");
    EXPECT_EQ(boxes_[0].caption, "Error");
    EXPECT_EQ(boxes_[0].style, kBoxOk);
    EXPECT_FALSE(Exists(app_ + "a.txt"));
    // The end phase gives up without a word.
    EXPECT_EQ(context.RunEndPhase(), 0);
    EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(EngineTest, LogIsCutToItsLimitAfterEachPhase) {
    script_->logLevel = kLogFull;
    script_->logSizeKB = 1;
    WriteAll(script_->logPath, std::string(5000, 'x'));
    InstallContext context(script_.get());
    ASSERT_EQ(context.RunInstallPhase(), 1);
    std::string log = ReadAll(script_->logPath);
    EXPECT_EQ(log.size(), 1024u);
    const std::string installEnd = OnDisk(InstallPhaseHeadingsAfterCopy());
    EXPECT_EQ(log.substr(log.size() - installEnd.size()), installEnd);
    EXPECT_EQ(log[0], 'x');

    // The end phase writes 60 bytes more, and the cut moves them in.
    ASSERT_EQ(context.RunEndPhase(), 1);
    log = ReadAll(script_->logPath);
    EXPECT_EQ(log.size(), 1024u);
    EXPECT_EQ(log.substr(log.size() - OnDisk(EndPhaseHeadings()).size()), OnDisk(EndPhaseHeadings()));
}

TEST_F(EngineTest, AfterRebootEndPhaseWritesItsHeading) {
    script_->afterReboot = 1;
    script_->logLevel = kLogShort;
    InstallContext context(script_.get());
    ASSERT_EQ(context.RunEndPhase(), 1);
    EXPECT_EQ(ReadAll(script_->logPath), OnDisk("\n[After Reboot]\n" + EndPhaseHeadings()));
}

// A stand-in for the progress dialog that records what the phase shows.
struct Shown {
    int id;
    std::string text;
    int position;
};
std::vector<Shown>* g_shown = nullptr;

LRESULT CALLBACK RecorderProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    const int id = GetDlgCtrlID(w);
    if (msg == WM_SETTEXT && g_shown) g_shown->push_back({id, reinterpret_cast<const char*>(lp), -1});
    if (msg == PBM_SETPOS && g_shown) g_shown->push_back({id, "", static_cast<int>(wp)});
    return DefWindowProcA(w, msg, wp, lp);
}

TEST_F(EngineTest, ProgressShowsMarkedItemsAndMovesForEveryItem) {
    // Four items; the second is up to date (not marked), the fourth a delete item.
    Install("p1.txt", "1", nullptr, "1.1.2024", "");
    const std::string older = "o";
    FileItem& skip = Install("p2.txt", "2", &older, "1.1.2024", "1.1.2023");
    skip.selected = skip.needsUpdate = 0;
    Install("p3.txt", "3", nullptr, "1.1.2024", "");
    Delete("p4.txt", true);
    script_->logLevel = kLogShort;

    WNDCLASSA wc{};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DpEngineRecorder";
    RegisterClassA(&wc);
    HWND dialog = CreateWindowA("DpEngineRecorder", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
    for (int id : {IDC_PROGRESS_BAR, IDC_SOURCE_PATH, IDC_TARGET_PATH, IDC_SECTION_NAME}) {
        CreateWindowA("DpEngineRecorder", "", WS_CHILD, 0, 0, 1, 1, dialog,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance, nullptr);
    }
    std::vector<Shown> shown;
    g_shown = &shown;

    InstallContext context(script_.get());
    context.progressWindow = dialog;
    // The phase runs on its worker thread; this thread serves its sends.
    HANDLE thread = CreateThread(nullptr, 0, InstallThreadProc, &context, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
    g_shown = nullptr;
    DestroyWindow(dialog);
    UnregisterClassA("DpEngineRecorder", wc.hInstance);

    std::vector<std::string> paths, sections;
    std::vector<int> positions;
    for (const Shown& s : shown) {
        if (s.id == IDC_SECTION_NAME) sections.push_back(s.text);
        if (s.id == IDC_PROGRESS_BAR) positions.push_back(s.position);
        if (s.id == IDC_SOURCE_PATH || s.id == IDC_TARGET_PATH) paths.push_back(s.text);
    }
    // The delete item in its loop (no source), then the marked install items.
    const std::vector<std::string> wantPaths = {" ", app_ + "p4.txt", pkg_ + "p1.txt", app_ + "p1.txt",
                                                pkg_ + "p3.txt", app_ + "p3.txt"};
    EXPECT_EQ(paths, wantPaths);
    EXPECT_EQ(positions, (std::vector<int>{0, 0, 25, 50, 75}));
    const std::vector<std::string> wantSections = {
        "[RunFileFirst]",       "[DeleteShortcuts]",       "[DelRegEntries]",
        "[DelFilesFirst]",      "[InstallFiles]",          "[Delete/CreateDirectory]",
        "[InstallRegEntries]",  "[AddShortCut]",           "[DeleteFontSubstitutes]",
        "[SetFontSubstitutes]"};
    EXPECT_EQ(sections, wantSections);
    EXPECT_EQ(ReadAll(script_->logPath).find("p2.txt"), std::string::npos);
}

}  // namespace
}  // namespace dp
