// Fonts made known to the system after they were copied, and withdrawn before
// they are deleted: for this session (font resources) and for every later
// start (the system's Fonts key).
#include <windows.h>

#include <algorithm>

#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/registry_win32.h"
#include "base/log_text.h"
#include "base/program_win32.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/files/file_list.h"
#include "items/files/result_line.h"
#include "items/fonts/font_files.h"
#include "items/fonts/fonts.h"
#include "items/rollback/journal_win32.h"
#include "log/error_messages.h"
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

// A registry value's text up to its first zero; not found when it is missing.
Status ReadTextValue(HKEY key, const std::string& name, std::string& text) {
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc != ERROR_SUCCESS) return Status(static_cast<uint32_t>(rc));
    data.resize(std::min<size_t>(data.find('\0'), size));
    text = std::move(data);
    return Status();
}

// Whether a Fonts value names this font: its file name in the fonts folder,
// or its full path.
bool NamesFont(const std::string& data, const FontItem& font) {
    return EqualNoCase(data, font.fileName) || EqualNoCase(data, font.path);
}

// Lets the font load at every later start of the system. A value of the same
// name that names another file (a font the system has already) is never
// replaced.
ItemResult RegisterFont(const FontItem& font, const std::string& fontsFolder, StepContext& step) {
    const std::string face = FaceNameOf(font.path);
    if (face.empty()) {
        step.LogMessage(0, kMsgFontForSessionOnly, font.path);
        return ItemResult::Done();
    }
    UniqueKey key;
    Status status = CreateAndOpenKey(HKEY_LOCAL_MACHINE, FontsKeyPath(),
                                     KEY_QUERY_VALUE | KEY_SET_VALUE | SystemView(), key);
    const std::string valueName = FontValueName(face, font.trueType);
    if (status.ok() && step.journal)
        status = step.journal->NoteValue(HKEY_LOCAL_MACHINE, "", FontsKeyPath(), valueName, SystemView());
    if (status.ok()) {
        std::string existing;
        if (ReadTextValue(key.get(), valueName, existing).ok() && !existing.empty() && !NamesFont(existing, font)) {
            step.LogMessage(0, kMsgFontNameTaken, font.path + " (" + valueName + "=" + existing + ")");
            return ItemResult::Done();  // added for this session; the system's own registration stays
        }
        const std::string data = FontValueData(font.path, font.fileName, fontsFolder);
        status = Status(static_cast<uint32_t>(RegSetValueExA(key.get(), valueName.c_str(), 0, REG_SZ,
                                                             reinterpret_cast<const BYTE*>(data.c_str()),
                                                             static_cast<DWORD>(data.size() + 1))));
    }
    if (status.ok()) return ItemResult::Done();
    return ItemResult::Failed(status.code(), FormatLogMessage(status.code(), kMsgErrorRegisteringFont, font.path),
                              Report::kLog);
}

// Removes the font's value from the Fonts key, when the value names this font.
ItemResult UnregisterFont(const FontItem& font, StepContext& step) {
    const std::string face = FaceNameOf(font.path);
    if (face.empty()) return ItemResult::Done();  // never registered
    UniqueKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, FontsKeyPath(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE | SystemView(),
                            key.put());
    if (rc == ERROR_SUCCESS) {
        const std::string valueName = FontValueName(face, font.trueType);
        std::string data;
        const Status read = ReadTextValue(key.get(), valueName, data);
        rc = static_cast<LONG>(read.code());
        if (read.ok()) {
            if (!NamesFont(data, font)) return ItemResult::Done();  // another file's registration stays
            if (step.journal) {
                const Status noted = step.journal->NoteValue(HKEY_LOCAL_MACHINE, "", FontsKeyPath(), valueName, SystemView());
                if (!noted.ok()) return ItemResult::Failed(noted.code(), JournalFailureText(noted.code()), Report::kLog);
            }
            rc = RegDeleteValueA(key.get(), valueName.c_str());
        }
    }
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return ItemResult::Done();
    const uint32_t code = static_cast<uint32_t>(rc);
    return ItemResult::Failed(code, FormatLogMessage(code, kMsgErrorUnregisteringFont, font.path), Report::kLog);
}

// Tells every top-level window that the fonts changed, without waiting on a
// window that does not answer.
void BroadcastFontChange() {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &answer);
}

// A marked font item of the file list: added to the system after its copy,
// or withdrawn before its deletion.
class FontWork : public WorkItem {
public:
    FontWork(const FileList& files, size_t index, bool removal) : files_(files), index_(index), removal_(removal) {}

    PlanRow Describe() const override {
        return FileItemRow(removal_ ? "remove font" : "add font", files_.items[index_], "");
    }

    ItemResult Do(StepContext& step) override {
        const FileItem& item = files_.items[index_];
        const std::string fontsFolder = Folder(step.variables, "FONTS_PATH");
        const std::string tempFolder = Folder(step.variables, "USER_TEMP_PATH");
        ItemResult result;
        const size_t slash = FindLastBackslash(item.targetPath, &IsSystemLeadByte);
        if (slash != std::string::npos) {
            const FontItem font{item.targetPath, item.targetPath.substr(slash + 1),
                                IsTrueTypeName(item.targetPath.substr(slash + 1))};
            if (step.journal) {
                const std::string resource = font.trueType ? FontResourcePath(tempFolder, font.fileName) : std::string();
                (void)step.journal->Record({removal_ ? journal::kFontRemoved : journal::kFontAdded,
                                            {font.trueType ? font.path : font.fileName, resource}});
            }
            result = removal_ ? Remove(font, tempFolder, step) : Add(font, fontsFolder, tempFolder, step);
        }
        BroadcastFontChange();
        return result;
    }

    // An added font is there and registered under its name (unless its name
    // belongs to another file); a removed one's registration is gone.
    Check Verify() const override {
        const FileItem& item = files_.items[index_];
        const size_t slash = FindLastBackslash(item.targetPath, &IsSystemLeadByte);
        if (slash == std::string::npos) return Check::NotChecked("no folder in its path");
        const FontItem font{item.targetPath, item.targetPath.substr(slash + 1),
                            IsTrueTypeName(item.targetPath.substr(slash + 1))};
        DWORD attributes = 0;
        const bool present = GetPathAttributes(font.path, attributes) == 0;
        if (!removal_ && !present) return Check::Differs("a font file", "missing");
        const std::string face = present ? FaceNameOf(font.path) : std::string();
        if (face.empty()) return Check::Matches();  // no name to be registered under
        std::string data;
        UniqueKey key;
        const std::string valueName = FontValueName(face, font.trueType);
        const bool registered =
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, FontsKeyPath(), 0, KEY_QUERY_VALUE | SystemView(), key.put()) ==
                ERROR_SUCCESS &&
            ReadTextValue(key.get(), valueName, data).ok() && !data.empty();
        if (removal_) return Check::Absent(registered && NamesFont(data, font), "registered as " + valueName);
        if (!registered) return Check::Differs("registered as " + valueName, "not registered");
        return Check::Matches();  // a name that belongs to another file is rightly left to it
    }

private:
    ItemResult Add(const FontItem& font, const std::string& fontsFolder, const std::string& tempFolder,
                   StepContext& step) {
        int added = 0;
        DWORD error = 0;
        if (font.trueType) {
            const std::string resource = FontResourcePath(tempFolder, font.fileName);
            // A resource file left by an earlier run is used as it is.
            if (!CreateScalableFontResourceA(0, resource.c_str(), font.fileName.c_str(), fontsFolder.c_str()) &&
                GetLastError() != ERROR_FILE_EXISTS)
                error = GetLastError();
            added = AddFontResourceA(resource.c_str());
        } else {
            added = AddFontResourceA(font.fileName.c_str());
        }
        if (added == 0) {
            // The system did not take the file as a font: it is not registered.
            // The resource's failure tells why better than the missing resource.
            if (error == 0) error = GetLastError();
            const uint32_t code = error != 0 && error != ERROR_FILE_NOT_FOUND ? error : ERROR_INVALID_DATA;
            return ItemResult::Failed(code, FormatLogMessage(code, kMsgErrorAddingFont, font.path), Report::kLog);
        }
        return RegisterFont(font, fontsFolder, step);
    }

    ItemResult Remove(const FontItem& font, const std::string& tempFolder, StepContext& step) {
        if (font.trueType) {
            const std::string resource = FontResourcePath(tempFolder, font.fileName);
            RemoveFontResourceA(resource.c_str());
            (void)DeleteFileAt(resource);
        } else {
            RemoveFontResourceA(font.fileName.c_str());
        }
        return UnregisterFont(font, step);
    }

    const FileList& files_;
    size_t index_;
    bool removal_;
};

void AddFonts(const FileList& files, bool removal, WorkItems& items) {
    for (size_t i = 0; i < files.items.size(); ++i) {
        const FileItem& item = files.items[i];
        if (item.font && item.selected && (item.deleteItem != 0) == removal)
            items.push_back(std::make_unique<FontWork>(files, i, removal));
    }
}

}  // namespace

void AddFontInstallations(const FileList& files, WorkItems& items) { AddFonts(files, false, items); }
void AddFontRemovals(const FileList& files, WorkItems& items) { AddFonts(files, true, items); }

}  // namespace dp
