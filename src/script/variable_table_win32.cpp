#include "script/variable_table_win32.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/program_win32.h"
#include "base/handles_win32.h"
#include "base/target_architecture_win32.h"
#include "base/version_library_win32.h"

namespace dp {
namespace {

constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr DWORD kValueBlock = 262;  // what the shell function may write

std::string TempPath() {
    return GrowingText([](char* buffer, size_t size) {
        return GetTempPathA(static_cast<DWORD>(size), buffer);
    }, kValueBlock);
}

// A text value of a key opened for reading; false when the key or value is
// missing. The text ends at its first zero byte.
bool RegistryText(HKEY root, const char* subkey, const char* value, std::string& out, REGSAM view = 0) {
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return false;
    std::vector<char> buf(kValueBlock);
    for (int tries = 0; tries < 4; ++tries) {
        DWORD size = static_cast<DWORD>(buf.size());
        LONG rc = RegQueryValueExA(key.get(), value, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buf.data()), &size);
        if (rc == ERROR_MORE_DATA) {
            buf.assign(size + 1, '\0');
            continue;
        }
        if (rc != ERROR_SUCCESS) return false;
        size_t n = 0;
        while (n < size && n < buf.size() && buf[n] != '\0') ++n;
        out.assign(buf.data(), n);
        return true;
    }
    return false;
}

std::string ShellFolderValue(HKEY root, const char* value) {
    std::string text;
    RegistryText(root, kShellFolders, value, text);
    return text;
}

bool ShellFolder(ShellFolderFunction shell, int folder, BOOL create, std::string& out) {
    char buf[kValueBlock] = {};
    if (!shell(nullptr, buf, folder, create)) return false;
    buf[kValueBlock - 1] = '\0';
    out = buf;
    return true;
}

std::string ShellFolder(ShellFolderFunction shell, int folder, BOOL create = TRUE) {
    std::string text;
    ShellFolder(shell, folder, create, text);
    return text;
}

// The system's folder for 32-bit system files on a 64-bit system
// (GetSystemWow64DirectoryA, which older systems do not have); "" without one.
std::string SystemWow64Directory() {
    using Get = UINT(WINAPI*)(LPSTR, UINT);
    const Get get = ProcAddress<Get>(GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA");
    if (!get) return {};
    return GrowingText([get](char* buffer, size_t size) { return get(buffer, static_cast<UINT>(size)); });
}

}  // namespace

void FillPredefined(VariableTable& table, const PredefinedSystem& system) {
    enum {
        kWindows, kSystem, kProgramFiles, kTemp, kUserTemp, kDesktop, kUserDesktop, kStartMenu,
        kUserStartMenu, kFonts, kUserTemplates, kTemplates, kUserPrograms, kCommonPrograms,
        kCommonAppData
    };
    const ShellFolderFunction shell = system.shellFunction;
    const bool nt = system.nt;
    std::string v[kPredefinedCount];

    v[kWindows] = WindowsDirectory();
    v[kSystem] = SystemDirectory();
    RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                 "ProgramFilesDir", v[kProgramFiles]);
    // The two architectures' folders: the same ones on a 32-bit system.
    v[kProgramFilesX86Entry] = v[kProgramFiles];
    v[kProgramFilesX64Entry] = v[kProgramFiles];
    v[kWindowsSystemX86Entry] = v[kSystem];
    v[kWindowsSystemX64Entry] = v[kSystem];
    if (system.sixtyFourBit) {
        if (!RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                          v[kProgramFilesX64Entry], KEY_WOW64_64KEY))
            v[kProgramFilesX64Entry] = EnvironmentText("ProgramW6432");
        const std::string wow64 = SystemWow64Directory();
        if (!wow64.empty()) v[kWindowsSystemX86Entry] = wow64;
        const NativeSystemFolder& native = NativeSystemFolderNames();
        if (!native.alias.empty()) v[kWindowsSystemX64Entry] = native.alias;
    }
    v[kTemp] = EnvironmentText("TEMP");
    v[kUserTemp] = TempPath();

    std::string windowsPath = v[kWindows];
    if (!windowsPath.empty() && windowsPath.back() == '\\') windowsPath.pop_back();

    // Fonts, and the two template folders, each with its own fallbacks.
    if (shell) {
        v[kFonts] = ShellFolder(shell, 0x14 /*CSIDL_FONTS*/);
        v[kUserTemplates] = ShellFolder(shell, 0x15 /*CSIDL_TEMPLATES*/);
        if (!nt || !ShellFolder(shell, 0x2D /*CSIDL_COMMON_TEMPLATES*/, FALSE, v[kTemplates]))
            ShellFolder(shell, 0x15 /*CSIDL_TEMPLATES*/, FALSE, v[kTemplates]);
    } else {
        if (!RegistryText(HKEY_CURRENT_USER, kShellFolders, "Fonts", v[kFonts]))
            v[kFonts] = windowsPath + "\\FONTS";
        if (!RegistryText(HKEY_CURRENT_USER, kShellFolders, "Templates", v[kUserTemplates])) {
            const std::string profile = nt ? UserProfileDirectory() : std::string();
            if (!profile.empty())
                v[kUserTemplates] = profile + "\\Templates";
            else
                v[kUserTemplates] = windowsPath + "\\ShellNew";
        }
        bool read = nt ? RegistryText(HKEY_LOCAL_MACHINE, kShellFolders, "Common Templates",
                                      v[kTemplates])
                       : RegistryText(HKEY_CURRENT_USER, kShellFolders, "Templates", v[kTemplates]);
        if (!read) v[kTemplates] = windowsPath + "\\ShellNew";
    }

    // The shell folders as a group.
    if (shell) {
        if (nt) {
            v[kDesktop] = ShellFolder(shell, 0x19 /*CSIDL_COMMON_DESKTOPDIRECTORY*/);
            v[kStartMenu] = ShellFolder(shell, 0x16 /*CSIDL_COMMON_STARTMENU*/);
            v[kCommonPrograms] = ShellFolder(shell, 0x17 /*CSIDL_COMMON_PROGRAMS*/);
        } else {
            v[kDesktop] = ShellFolder(shell, 0x10 /*CSIDL_DESKTOPDIRECTORY*/);
            v[kStartMenu] = ShellFolder(shell, 0x0B /*CSIDL_STARTMENU*/);
            v[kCommonPrograms] = ShellFolder(shell, 0x02 /*CSIDL_PROGRAMS*/);
        }
        v[kUserDesktop] = ShellFolder(shell, 0x10 /*CSIDL_DESKTOPDIRECTORY*/);
        v[kUserStartMenu] = ShellFolder(shell, 0x0B /*CSIDL_STARTMENU*/);
        v[kUserPrograms] = ShellFolder(shell, 0x02 /*CSIDL_PROGRAMS*/);
        v[kCommonAppData] = ShellFolder(shell, 0x23 /*CSIDL_COMMON_APPDATA*/);
        if (v[kCommonAppData].empty())
            v[kCommonAppData] = ShellFolderValue(HKEY_LOCAL_MACHINE, "Common AppData");
    } else {
        if (nt) {
            v[kDesktop] = ShellFolderValue(HKEY_LOCAL_MACHINE, "Common Desktop");
            v[kStartMenu] = ShellFolderValue(HKEY_LOCAL_MACHINE, "Common Start Menu");
            v[kCommonPrograms] = ShellFolderValue(HKEY_LOCAL_MACHINE, "Common Programs");
        } else {
            v[kDesktop] = ShellFolderValue(HKEY_CURRENT_USER, "Desktop");
            v[kStartMenu] = ShellFolderValue(HKEY_CURRENT_USER, "Start Menu");
            v[kCommonPrograms] = ShellFolderValue(HKEY_CURRENT_USER, "Programs");
        }
        v[kCommonAppData] = ShellFolderValue(HKEY_LOCAL_MACHINE, "Common AppData");
        v[kUserDesktop] = ShellFolderValue(HKEY_CURRENT_USER, "Desktop");
        v[kUserStartMenu] = ShellFolderValue(HKEY_CURRENT_USER, "Start Menu");
        v[kUserPrograms] = ShellFolderValue(HKEY_CURRENT_USER, "Programs");
    }

    // Every folder ends with a backslash; a folder that could not be found
    // stays empty rather than pretending to be the root of a drive.
    table.Clear();
    table.programDirectory = ProgramDirectory();
    for (int i = 0; i < kPredefinedCount; ++i) {
        if (!v[i].empty() && v[i].back() != '\\') v[i] += '\\';
        table.AddEntry(kPredefinedNames[i], std::string(), v[i]);
    }
}

PredefinedSystem DetectPredefinedSystem() {
    PredefinedSystem system;
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        info = OSVERSIONINFOEXA{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) info = OSVERSIONINFOEXA{};
    }
    system.nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    system.sixtyFourBit = SystemIsSixtyFourBit();

    int minor = 0;
    int major = 0;
    VariableTable::GetShellVersion(minor, major);
    if (major > 4 || (major == 4 && minor >= 71)) {
        // Stays loaded for the rest of the run.
        if (HMODULE shell32 = LoadSystemLibrary("shell32.dll"))
            system.shellFunction = ProcAddress<ShellFolderFunction>(shell32, "SHGetSpecialFolderPathA");
    }
    return system;
}

void VariableTable::InitPredefined() { FillPredefined(*this, DetectPredefinedSystem()); }

void VariableTable::GetShellVersion(int& minor, int& major) {
    const std::string path = SystemFilePath("shell32.dll");
    if (path.empty()) return;
    const FileVersionQuery version = QueryFileVersion(path);
    if (!version.ok || version.fileVersion.empty()) return;
    ParseMajorMinor(version.fileVersion, minor, major);
}

}  // namespace dp
