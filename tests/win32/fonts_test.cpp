// Fonts added, registered, removed and announced, and font substitutes
// written, on the running system.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

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
using test::ScratchDir;

constexpr char kFontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr char kFace[] = "Dptest Sans";  // the family of dptest.ttf; its full name adds " Book"

// The system's own registry view (the 64-bit one under WOW64).
REGSAM SystemView() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
}

std::string FontsValue(const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_QUERY_VALUE | SystemView(), &key) != ERROR_SUCCESS)
        return "<no key>";
    char data[MAX_PATH] = {};
    DWORD size = sizeof data - 1;
    const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? data : "<none>";
}
void SetFontsValue(const std::string& name, const std::string& data) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFontsKey, 0, nullptr, 0, KEY_SET_VALUE | SystemView(), nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(key);
}

// Removes what a test registered, however it ends.
struct FontsValuesCleanup {
    ~FontsValuesCleanup() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_SET_VALUE | SystemView(), &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, "Dptest Sans Book (TrueType)");
        RegDeleteValueA(key, "Dptest Sans Book");
        RegCloseKey(key);
    }
};

int CALLBACK FaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}
bool FaceAvailable(const char* face) {
    LOGFONTA font{};
    font.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(font.lfFaceName, face);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &font, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// A hidden top-level window of this thread that counts the font-change notices.
class FontChangeCounter {
public:
    FontChangeCounter() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "DpFontChangeCounter";
        RegisterClassA(&wc);
        window_ = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        count = 0;
    }
    ~FontChangeCounter() { DestroyWindow(window_); }
    static inline int count = 0;

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_FONTCHANGE) ++count;
        return DefWindowProcA(w, m, wp, lp);
    }
    HWND window_;
};

FileItem FontItem(const std::string& target, int selected, int deleteItem) {
    FileItem item;
    item.targetPath = target;
    item.font = 1;
    item.selected = static_cast<uint8_t>(selected);
    item.deleteItem = static_cast<uint8_t>(deleteItem);
    return item;
}

VariableTable Folders(const std::string& fonts, const std::string& temp) {
    VariableTable variables;
    variables.AddEntry("FONTS_PATH", "", fonts);
    variables.AddEntry("USER_TEMP_PATH", "", temp);
    return variables;
}

TEST(Fonts, TrueTypeThroughItsResourceFileRegisteredAndRemoved) {
    FontsValuesCleanup cleanup;
    ScratchDir dir;
    CreateDirectoryA((dir / "fonts").c_str(), nullptr);
    CreateDirectoryA((dir / "temp").c_str(), nullptr);
    const std::string font = dir / "fonts\\dptest.ttf", broken = dir / "fonts\\broken.fon";
    test::CopyData("dptest.ttf", font);
    test::WriteFileText(broken, "not a font");
    VariableTable variables = Folders(dir / "fonts\\", dir / "temp\\");
    ASSERT_FALSE(FaceAvailable(kFace));

    FileList files;
    files.items = {FontItem(font, 1, 0), FontItem(dir / "fonts\\old.ttf", 0, 0), FontItem(broken, 1, 0)};
    FontChangeCounter notices;
    const std::string log = test::LoggedStep(LogLevel::Short, files, variables, [](StepContext& s) { InstallFonts(s); });
    EXPECT_TRUE(Exists(dir / "temp\\dptest.fot"));
    EXPECT_TRUE(FaceAvailable(kFace));
    EXPECT_EQ(FontsValue("Dptest Sans Book (TrueType)"), "dptest.ttf");
    EXPECT_EQ(log, "Font added for this session only, its name cannot be read: " + broken + ".\n");
    EXPECT_EQ(FontChangeCounter::count, 2);  // the item not marked is not announced

    files.items = {FontItem(font, 1, 1)};
    EXPECT_EQ(test::LoggedStep(LogLevel::Full, files, variables, [](StepContext& s) { RemoveFonts(s); }), "");
    EXPECT_FALSE(FaceAvailable(kFace));
    EXPECT_FALSE(Exists(dir / "temp\\dptest.fot"));
    EXPECT_EQ(FontsValue("Dptest Sans Book (TrueType)"), "<none>");
    EXPECT_EQ(FontChangeCounter::count, 3);
}

TEST(Fonts, OtherNamesAreAddedDirectlyAndOnlyTheirOwnValueIsRemoved) {
    FontsValuesCleanup cleanup;
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string fonts = std::string(windows) + "\\Fonts\\", font = fonts + "DPTESTUP.TTF";
    struct DeleteAtEnd {
        std::string path;
        ~DeleteAtEnd() {
            RemoveFontResourceA("DPTESTUP.TTF");
            DeleteFileA(path.c_str());
        }
    } removeFont{font};
    test::CopyData("dptest.ttf", font);
    ScratchDir temp;
    VariableTable variables = Folders(fonts, temp.path() + "\\");

    FileList files;
    files.items = {FontItem(font, 1, 0)};
    test::LoggedStep(LogLevel::Full, files, variables, [](StepContext& s) { InstallFonts(s); });
    EXPECT_TRUE(FaceAvailable(kFace));
    EXPECT_EQ(FontsValue("Dptest Sans Book"), "DPTESTUP.TTF");
    EXPECT_FALSE(Exists(temp / "DPTESTUP.fot"));

    // A value that names another file is not this font's.
    SetFontsValue("Dptest Sans Book", "other.ttf");
    files.items = {FontItem(font, 1, 1)};
    test::LoggedStep(LogLevel::Full, files, variables, [](StepContext& s) { RemoveFonts(s); });
    EXPECT_FALSE(FaceAvailable(kFace));
    EXPECT_EQ(FontsValue("Dptest Sans Book"), "other.ttf");
}

// A top-level window whose thread stops pumping until released.
DWORD WINAPI HungWindowThread(LPVOID param) {
    auto* state = static_cast<std::pair<HANDLE, std::atomic<int>*>*>(param);
    HWND window = CreateWindowA("STATIC", "hung", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    state->second->store(1);
    // Not pumping: a broadcast that waits for this window waits here. A
    // minute is far more than the bounded send needs; 2 records that the
    // broadcast had not come back by then.
    if (WaitForSingleObject(state->first, 60000) == WAIT_TIMEOUT) state->second->store(2);
    DestroyWindow(window);
    return 0;
}

TEST(Fonts, HungWindowDoesNotHoldTheBroadcast) {
    ScratchDir dir;
    VariableTable variables = Folders(dir.path() + "\\", dir.path() + "\\");
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> state{0};
    std::pair<HANDLE, std::atomic<int>*> param{release, &state};
    HANDLE thread = CreateThread(nullptr, 0, HungWindowThread, &param, 0, nullptr);
    while (state.load() == 0) Sleep(10);
    FileList files;
    files.items = {FontItem(dir / "missing.fon", 1, 0)};
    test::LoggedStep(LogLevel::None, files, variables, [](StepContext& s) { InstallFonts(s); });
    SetEvent(release);
    WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(state.load(), 1);
    CloseHandle(thread);
    CloseHandle(release);
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
    EXPECT_EQ(test::LoggedStep(LogLevel::Full, files, variables, [&](StepContext& s) { ApplyFontSubstitutes(set, s); }), "");
    EXPECT_EQ(Substitute("Dptest Helv,204"), "Dptest Arial,0");
    EXPECT_EQ(Substitute("Dptest Tms"), "Dptest Times");
    test::LoggedStep(LogLevel::Full, files, variables, [&](StepContext& s) { ApplyFontSubstitutes(remove, s); });
    EXPECT_EQ(Substitute("Dptest Tms"), "<none>");
    EXPECT_EQ(Substitute("Dptest Helv,204"), "Dptest Arial,0");
    WriteProfileStringA("FontSubstitutes", "Dptest Helv,204", nullptr);

    SetSubstituteWriterForTesting([](const std::string&, const std::optional<std::string>&) { return 5u; });
    for (LogLevel level : {LogLevel::Short, LogLevel::None}) {
        const std::string log = test::LoggedStep(level, files, variables, [&](StepContext& s) {
            EXPECT_EQ(ApplyFontSubstitutes(set, s), 1);
        });
        EXPECT_EQ(log, level == LogLevel::None ? ""
                                               : "Error setting or deleting font substitutes for:  Dptest Helv,204. " +
                                                     SystemErrorText(5) + "\nError setting or deleting font substitutes for:  Dptest Tms. " +
                                                     SystemErrorText(5) + "\n");
    }
    SetSubstituteWriterForTesting(nullptr);
}

}  // namespace
}  // namespace dp
