// Fonts added, registered, removed and announced, and font substitutes
// written, on the running system.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>

#include "base/handles_win32.h"
#include "base/system_text.h"
#include "file_test_support.h"
#include "items/files/file_list.h"
#include "items/font_substitutes.h"
#include "items/font_substitutes_win32.h"
#include "items/fonts.h"
#include "script/variable_table.h"

namespace dp {
namespace {

using test::Exists;

// The system's Fonts key in the system's own view (the 64-bit one under WOW64).
UniqueKey FontsKey() {
    BOOL wow64 = FALSE;
    const REGSAM view = IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
    UniqueKey key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, nullptr, 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE | view, nullptr, key.put(), nullptr);
    return key;
}
std::string FontsValue(const char* name) {
    char data[MAX_PATH] = {};
    DWORD size = sizeof data - 1;
    const LONG rc = RegQueryValueExA(FontsKey().get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    return rc == ERROR_SUCCESS ? data : "<none>";
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
        VariableTable variables;
        variables.AddEntry("FONTS_PATH", "", c.folder);
        variables.AddEntry("USER_TEMP_PATH", "", dir.path() + "\\");
        EXPECT_FALSE(FaceAvailable());
        FileList files;
        files.items = {Font(font, 1, 0), Font(c.folder + "old.ttf", 0, 0), Font(broken, 1, 0)};
        g_notices = 0;
        EXPECT_EQ(test::LoggedStep(LogLevel::Short, files, variables, [](StepContext& s) { InstallFonts(s); }),
                  "Font added for this session only, its name cannot be read: " + broken + ".\n");
        EXPECT_TRUE(FaceAvailable()) << c.name;
        EXPECT_EQ(FontsValue(c.value.c_str()), c.data);
        EXPECT_EQ(c.resource.empty() || Exists(c.resource), true) << c.resource;
        EXPECT_EQ(g_notices, 2);  // the item not marked is not announced

        files.items = {Font(font, 1, 1)};
        EXPECT_EQ(test::LoggedStep(LogLevel::Full, files, variables, [](StepContext& s) { RemoveFonts(s); }), "");
        EXPECT_FALSE(FaceAvailable()) << c.name;
        EXPECT_EQ(FontsValue(c.value.c_str()), "<none>");
        EXPECT_FALSE(!c.resource.empty() && Exists(c.resource)) << c.resource;
        // A value that names another file is not this font's to remove.
        RegSetValueExA(FontsKey().get(), c.value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("other.ttf"), 10);
        test::LoggedStep(LogLevel::Full, files, variables, [](StepContext& s) { RemoveFonts(s); });
        EXPECT_EQ(FontsValue(c.value.c_str()), "other.ttf");
        RegDeleteValueA(FontsKey().get(), c.value.c_str());
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
    FileList files;
    files.items = {Font("C:\\nowhere\\missing.fon", 1, 0)};
    VariableTable variables;
    test::LoggedStep(LogLevel::None, files, variables, [](StepContext& s) { InstallFonts(s); });
    int expected = 1;
    EXPECT_TRUE(state.compare_exchange_strong(expected, 3)) << "the broadcast waited for the hung window";
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

std::string Substitute(const char* name) {
    char value[MAX_PATH] = {};
    GetProfileStringA("FontSubstitutes", name, "<none>", value, sizeof value);
    return value;
}

TEST(FontSubstitutes, SetAndDeletedThroughTheProfileFailuresOnlyLogged) {
    FontSubstituteList set, remove;
    ASSERT_EQ(ParseFontSubstitutes(set, "Dptest Helv,204=Dptest Arial,0\n\"Dptest Tms\"=\"Dptest Times\"", 0), 1);
    ASSERT_EQ(ParseFontSubstitutes(remove, "Dptest Tms=\nDptest Never=", 1), 1);
    FileList files;
    VariableTable variables;
    auto apply = [&](FontSubstituteList& list, LogLevel level) {
        return test::LoggedStep(level, files, variables, [&](StepContext& s) { EXPECT_EQ(ApplyFontSubstitutes(list, s), 1); });
    };
    EXPECT_EQ(apply(set, LogLevel::Full), "");
    EXPECT_EQ(Substitute("Dptest Helv,204"), "Dptest Arial,0");
    EXPECT_EQ(Substitute("Dptest Tms"), "Dptest Times");
    EXPECT_EQ(apply(remove, LogLevel::Full), "");
    EXPECT_EQ(Substitute("Dptest Tms"), "<none>");
    EXPECT_EQ(Substitute("Dptest Helv,204"), "Dptest Arial,0");
    WriteProfileStringA("FontSubstitutes", "Dptest Helv,204", nullptr);

    SetSubstituteWriterForTesting([](const std::string&, const std::optional<std::string>&) { return 5u; });
    const std::string error = "Error setting or deleting font substitutes for:  ";
    EXPECT_EQ(apply(set, LogLevel::Short), error + "Dptest Helv,204. " + SystemErrorText(5) + "\n" + error +
                                               "Dptest Tms. " + SystemErrorText(5) + "\n");
    EXPECT_EQ(apply(set, LogLevel::None), "");
    SetSubstituteWriterForTesting(nullptr);
}

}  // namespace
}  // namespace dp
