// Fonts made known to the system after they were copied, and withdrawn before
// they are deleted: for this session (font resources) and for every later
// start (the system's Fonts key).
#include <windows.h>

#include <algorithm>

#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/log_text.h"
#include "base/program_win32.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/files/file_list.h"
#include "items/font_files.h"
#include "items/fonts.h"
#include "resources/message_ids.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// The longest wait for one window to take the font-change notice; a hung
// window is skipped at once.
constexpr UINT kBroadcastTimeoutMs = 2000;

// A marked font item as the operations see it.
struct FontItem {
    const std::string& path;  // the target path
    std::string fileName;     // after its last backslash
    bool trueType;
};

std::string Folder(const VariableTable& variables, const char* name) {
    const std::string* value = variables.FindValue(name);
    return value ? *value : std::string();
}

// The key the system loads fonts from at start, and the registry view that
// holds it (the system's own: the 64-bit one under WOW64).
const char* FontsKeyPath() {
    return RunsOnNtFamily() ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
                            : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
}
REGSAM SystemView() { return RunsOnSixtyFourBitSystem() ? KEY_WOW64_64KEY : 0; }

// The full name the font file gives itself, in the system code page; "" when
// it cannot be read.
std::string FaceNameOf(const std::string& path) {
    const std::u16string wide = FontFullName([&path](uint64_t offset, uint32_t size, std::string& bytes) {
        return ReadFilePart(path, offset, size, bytes) == 0;
    });
    return ToSystemCodePage(wide);
}

// Lets the font load at every later start of the system.
void RegisterFont(const FontItem& font, const std::string& fontsFolder, StepContext& step) {
    const std::string face = FaceNameOf(font.path);
    if (face.empty()) {
        step.LogMessage(0, kMsgFontForSessionOnly, font.path);
        return;
    }
    UniqueKey key;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, FontsKeyPath(), 0, nullptr, 0, KEY_SET_VALUE | SystemView(),
                              nullptr, key.put(), nullptr);
    if (rc == ERROR_SUCCESS) {
        const std::string data = FontValueData(font.path, font.fileName, fontsFolder);
        rc = RegSetValueExA(key.get(), FontValueName(face, font.trueType).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
    }
    if (rc != ERROR_SUCCESS) step.LogMessage(static_cast<uint32_t>(rc), kMsgErrorRegisteringFont, font.path);
}

// Removes the font's value from the Fonts key, when the value names this font.
void UnregisterFont(const FontItem& font, const std::string& fontsFolder, StepContext& step) {
    const std::string face = FaceNameOf(font.path);
    if (face.empty()) return;  // never registered
    UniqueKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, FontsKeyPath(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE | SystemView(),
                            key.put());
    if (rc == ERROR_SUCCESS) {
        const std::string valueName = FontValueName(face, font.trueType);
        DWORD type = 0;
        DWORD size = 0;
        rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        std::string data(size, '\0');
        if (rc == ERROR_SUCCESS)
            rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                  &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(std::min<size_t>(data.find('\0'), size));
            const bool ours = EqualNoCase(data, font.fileName) || EqualNoCase(data, font.path);
            if (!ours) return;
            rc = RegDeleteValueA(key.get(), valueName.c_str());
        }
    }
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        step.LogMessage(static_cast<uint32_t>(rc), kMsgErrorUnregisteringFont, font.path);
}

// Tells every top-level window that the fonts changed, without waiting on a
// window that does not answer.
void BroadcastFontChange() {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &answer);
}

// Calls handle(font) for every marked font item that is (delete 1) or is not
// (delete 0) a delete item and has a backslash in its path, and announces
// each marked item.
template <typename Handle>
void ForMarkedFonts(StepContext& step, bool deleteItems, Handle handle) {
    for (const FileItem& item : step.files.items) {
        if (step.isCancelled()) return;
        if (!item.font || !item.selected || (item.deleteItem != 0) != deleteItems) continue;
        const size_t slash = FindLastBackslash(item.targetPath, &IsSystemLeadByte);
        if (slash != std::string::npos) {
            std::string name = item.targetPath.substr(slash + 1);
            const bool trueType = IsTrueTypeName(name);
            handle(FontItem{item.targetPath, std::move(name), trueType});
        }
        BroadcastFontChange();
    }
}

}  // namespace

int InstallFonts(StepContext& step) {
    const std::string fontsFolder = Folder(step.variables, "FONTS_PATH");
    const std::string tempFolder = Folder(step.variables, "USER_TEMP_PATH");
    ForMarkedFonts(step, false, [&](const FontItem& font) {
        if (font.trueType) {
            const std::string resource = FontResourcePath(tempFolder, font.fileName);
            CreateScalableFontResourceA(0, resource.c_str(), font.fileName.c_str(), fontsFolder.c_str());
            AddFontResourceA(resource.c_str());
        } else {
            AddFontResourceA(font.fileName.c_str());
        }
        RegisterFont(font, fontsFolder, step);
    });
    return 1;
}

int RemoveFonts(StepContext& step) {
    const std::string fontsFolder = Folder(step.variables, "FONTS_PATH");
    const std::string tempFolder = Folder(step.variables, "USER_TEMP_PATH");
    ForMarkedFonts(step, true, [&](const FontItem& font) {
        if (font.trueType) {
            const std::string resource = FontResourcePath(tempFolder, font.fileName);
            RemoveFontResourceA(resource.c_str());
            DeleteFileAt(resource);
        } else {
            RemoveFontResourceA(font.fileName.c_str());
        }
        UnregisterFont(font, fontsFolder, step);
    });
    return 1;
}

}  // namespace dp
