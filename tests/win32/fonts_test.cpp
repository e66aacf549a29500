// Fonts on the running system: added, registered, removed and announced; and
// font substitutes the system does not take.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>

#include "base/system_text.h"
#include "items/font_substitutes/font_substitutes.h"
#include "items/font_substitutes/font_substitutes_win32.h"
#include "items/fonts/fonts.h"
#include "test_support.h"

namespace dp {
namespace {

using test::Exists;

// The system's Fonts key in the system's own view (the 64-bit one under WOW64).
constexpr char kFontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
REGSAM FontsView() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
}
std::string FontsValue(const std::string& name) { return test::RegText(HKEY_LOCAL_MACHINE, kFontsKey, name, FontsView()); }
void SetFontsValue(const std::string& name, const char* data) {
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_SET_VALUE | FontsView(), &key);
    if (data) RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(std::strlen(data) + 1));
    else RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

int CALLBACK FaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}
bool FaceAvailable() {
    LOGFONTA font{};
    font.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(font.lfFaceName, "Dptest Sans");  // the family of dptest.ttf (full name "Dptest Sans Book")
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &font, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

std::atomic<int> g_notices{0};
LRESULT CALLBACK CountNotices(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_FONTCHANGE) ++g_notices;
    return DefWindowProcA(w, m, wp, lp);
}

FileItem Font(const std::string& target, int selected, int deleteItem) {
    FileItem item;
    item.targetPath = target;
    item.font = 1;
    item.selected = static_cast<uint8_t>(selected);
    item.deleteItem = static_cast<uint8_t>(deleteItem);
    return item;
}

// A TrueType name goes through its resource file in the temporary folder; any
// other is added by its name from the Fonts folder. Both are registered for
// the next start under their full name and taken away again.
TEST(Fonts, AddedRegisteredAnnouncedAndRemoved) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountNotices;
    wc.lpszClassName = "DpNoticeCounter";
    RegisterClassA(&wc);
    HWND counter = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    test::ScratchDir dir;
    const struct {
        std::string folder, name, value, data, resource;
    } cases[] = {
        {dir.path() + "\\", "dptest.ttf", "Dptest Sans Book (TrueType)", "dptest.ttf", dir / "dptest.fot"},
        {std::string(windows) + "\\Fonts\\", "DPTESTUP.TTF", "Dptest Sans Book", "DPTESTUP.TTF", ""},
    };
    for (const auto& c : cases) {
        const std::string font = c.folder + c.name, broken = c.folder + "broken.fon";
        test::CopyData("dptest.ttf", font);
        test::WriteFileText(broken, "not a font");
        EXPECT_FALSE(FaceAvailable());
        // Each step with the variables it reads. (Wine looks for the font a
        // resource file names in the current folder, Windows in the folder
        // the resource was made with: there the font's folder is made current.)
        RunTally tally;
        auto step = [&](LogLevel level, std::vector<FileItem> items, void (*add)(const FileList&, WorkItems&)) {
            std::optional<test::CurrentDirectory> inFolder;
            if (!c.resource.empty()) inFolder.emplace(c.folder);
            test::Step s(level);
            s.variables.AddEntry("FONTS_PATH", "", c.folder);
            s.variables.AddEntry("USER_TEMP_PATH", "", dir.path() + "\\");
            s.files.items = std::move(items);
            tally = {};
            s.context.tally = &tally;
            WorkItems work;
            add(s.files, work);
            s.Run(std::move(work));
            return s.Log();
        };
        g_notices = 0;
        // A file the system does not take as a font fails with its answer.
        const std::string log = step(LogLevel::Short, {Font(font, 1, 0), Font(c.folder + "old.ttf", 0, 0), Font(broken, 1, 0)},
                                     AddFontInstallations);
        EXPECT_EQ(log.rfind("Error adding font " + broken + ". ", 0), 0u) << log;
        EXPECT_EQ(tally.done, 1);
        EXPECT_EQ(tally.failed, 1);
        EXPECT_TRUE(FaceAvailable()) << c.name;
        EXPECT_EQ(FontsValue(c.value), c.data);
        EXPECT_EQ(c.resource.empty() || Exists(c.resource), true) << c.resource;
        EXPECT_EQ(g_notices, 2);  // the item not marked is not announced

        EXPECT_EQ(step(LogLevel::Full, {Font(font, 1, 1)}, AddFontRemovals), "");
        EXPECT_EQ(tally.done, 1);
        EXPECT_FALSE(FaceAvailable()) << c.name;
        EXPECT_EQ(FontsValue(c.value), "<none>");
        EXPECT_FALSE(!c.resource.empty() && Exists(c.resource)) << c.resource;
        // A value that names another file is not this font's to remove.
        SetFontsValue(c.value, "other.ttf");
        step(LogLevel::Full, {Font(font, 1, 1)}, AddFontRemovals);
        EXPECT_EQ(FontsValue(c.value), "other.ttf");
        // Nor is it replaced by installing this font: the other file keeps its name.
        EXPECT_EQ(step(LogLevel::Short, {Font(font, 1, 0)}, AddFontInstallations),
                  "Font not registered, its name belongs to another file: " + font + " (" + c.value + "=other.ttf).\n");
        EXPECT_EQ(FontsValue(c.value), "other.ttf");
        step(LogLevel::None, {Font(font, 1, 1)}, AddFontRemovals);
        SetFontsValue(c.value, nullptr);
        DeleteFileA(font.c_str());
        DeleteFileA(broken.c_str());
    }
    DestroyWindow(counter);
}

// A window whose thread stops pumping until released (state 1), or until a
// minute has passed without the broadcast coming back (state 2).
DWORD WINAPI HungWindow(LPVOID param) {
    auto* state = static_cast<std::atomic<int>*>(param);
    HWND window = CreateWindowA("STATIC", "hung", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    *state = 1;
    for (int waited = 0; *state == 1 && waited < 60000; waited += 50) Sleep(50);
    if (*state == 1) *state = 2;
    DestroyWindow(window);
    return 0;
}

TEST(Fonts, HungWindowDoesNotHoldTheBroadcast) {
    std::atomic<int> state{0};
    HANDLE thread = CreateThread(nullptr, 0, HungWindow, &state, 0, nullptr);
    while (state == 0) Sleep(10);
    test::Step step(LogLevel::None);
    step.files.items = {Font("C:\\nowhere\\missing.fon", 1, 0)};
    WorkItems work;
    AddFontInstallations(step.files, work);
    step.Run(std::move(work));
    int expected = 1;
    EXPECT_TRUE(state.compare_exchange_strong(expected, 3)) << "the broadcast waited for the hung window";
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// A substitute the system does not take is logged (at SHORT and FULL), counted
// failed, and the step goes on. (Substitutes set and deleted, and shortcuts, are shown by
// shortcuts.scn.)
TEST(FontSubstitutes, FailuresAreOnlyLogged) {
    FontSubstituteList set;
    ASSERT_EQ(ParseFontSubstitutes(set, "Dptest Helv,204=Dptest Arial,0\n\"Dptest Tms\"=\"Dptest Times\"", 0), 1);
    test::Replaced<SubstituteWriter> failing(SetSubstituteWriterForTesting,
                                             [](const std::string&, const std::optional<std::string>&) { return 5u; });
    for (LogLevel level : {LogLevel::Short, LogLevel::None}) {
        test::Step step(level);
        test::BoxRecorder boxes;
        RunTally tally;
        step.context.tally = &tally;
        WorkItems work;
        AddFontSubstitutes(set, work);
        EXPECT_TRUE(step.Run(std::move(work)));
        EXPECT_EQ(tally.failed, 2);
        const std::string error = "Error setting or deleting font substitutes for:  ";
        EXPECT_EQ(step.Log(), level == LogLevel::None ? "" : error + "Dptest Helv,204. " + SystemErrorText(5) + "\n" +
                                                             error + "Dptest Tms. " + SystemErrorText(5) + "\n");
        EXPECT_TRUE(boxes.boxes.empty());
    }
}

}  // namespace
}  // namespace dp
