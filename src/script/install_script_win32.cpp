// Construction of the model from the running system: the program directory,
// the saved dialog placement, the system version and the variables.
#include <windows.h>

#include <cstring>

#include "app/program_win32.h"
#include "app/win32_handles_win32.h"
#include "script/install_script.h"
#include "script/placement_text.h"

namespace dp {
namespace {

constexpr char kSettingsKey[] = "SOFTWARE\\Velmora\\Deployator";
// The placement texts are read into 260 bytes; a longer value counts as
// missing.
constexpr DWORD kPlacementTextSize = 260;

bool QueryPlacementText(HKEY key, const char* name, std::string& text) {
    char buffer[kPlacementTextSize + 1] = {};
    DWORD size = kPlacementTextSize;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return false;
    text.assign(buffer, strnlen(buffer, size));
    return true;
}

}  // namespace

InstallScript::InstallScript() {
    // The base and the lists are built (empty) before the body runs.
    programDirectory = ProgramDirectory();

    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
        std::string text;
        if (QueryPlacementText(key.get(), "Rect", text)) ParseRectText(text, windowRect);
        if (QueryPlacementText(key.get(), "Columns", text)) ParseColumnsText(text, columnWidths);
        key.reset();
    }

    commandLine.clear();
    testInstall = 0;
    logLevel = kLogShort;
    logSizeKB = 2048;
    rebootRequired = 0;
    afterReboot = 0;

    // No retry with the plain structure: a system that refuses the extended
    // one leaves platform 0, the 9x family.
    osVersion = OsVersionInfo{};
    osVersion.dwOSVersionInfoSize = sizeof(OsVersionInfo);
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&osVersion));

    logPath = programDirectory + "kitup.log";

    variables = std::make_unique<VariableTable>();
    variables->InitPredefined();
}

}  // namespace dp
