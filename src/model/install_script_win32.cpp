// Construction of the model from the running system (the program directory,
// the saved dialog placement, the system version and the variables), and the
// run's log header.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/program_win32.h"
#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/log_text.h"
#include "base/target_architecture_win32.h"
#include "items/com/com_registration.h"
#include "log/error_messages.h"
#include "log/log_file.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "model/install_script.h"
#include "script/placement_text.h"

namespace dp {

static_assert(kPredefinedVariableLines == kPredefinedCount, "the log header shows every predefined folder");

namespace {

// The placement texts are read into 260 bytes; a longer value counts as
// missing.

bool QueryPlacementText(HKEY key, const char* name, std::string& text) {
    char buffer[kPlacementDataSize + 1] = {};
    DWORD size = kPlacementDataSize;
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
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKeyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
        std::string text;
        if (QueryPlacementText(key.get(), "Rect", text)) ParseRectText(text, windowRect);
        if (QueryPlacementText(key.get(), "Columns", text)) ParseColumnsText(text, columnWidths);
        key.reset();
    }

    // No retry with the plain structure: a system that refuses the extended
    // one leaves platform 0, the 9x family.
    osVersion.dwOSVersionInfoSize = sizeof(OsVersionInfo);
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&osVersion));

    logPath = programDirectory + kDefaultLogName;

    variables = std::make_unique<VariableTable>();
    variables->InitPredefined();
}

int InstallScript::OpenLog() {
    if (logLevel == LogLevel::None || planOnly) return 1;
    if (fallbackLog) {
        // No box to tell it: a log that cannot be had is replaced by the
        // fallback log, whose first line says why.
        if (CheckPath(logPath) == 0)
            for (const std::string& dir : LogDirectories(logPath)) (void)CreateFolderIfMissing(dir);
        UseFallbackLogIfUnwritable(logPath);
        if (afterReboot) return 1;
    }
    // A path the policy refuses makes no folders (and is never opened).
    if (CheckPath(logPath) != 0) {
        if (afterReboot) return 1;
        ShowErrorDetail(0, kMsgErrorCreatingLog, logPath, kBoxOk | kBoxIconInformation);
        return 0;
    }
    for (const std::string& dir : LogDirectories(logPath)) {
        if (const unsigned long error = CreateFolderIfMissing(dir))
            ShowErrorDetail(error, kMsgErrorCreatingDirectory, dir, kBoxOk | kBoxIconInformation);
    }
    if (afterReboot) return 1;

    std::FILE* log = OpenStreamAt(logPath, "a+");
    if (!log) {
        ShowErrorDetail(0, kMsgErrorCreatingLog, logPath, kBoxOk | kBoxIconInformation);
        return 0;
    }
    WriteLogHeader(log, logLevel);
    if (tookSixtyFourBit_) WriteLogText(log, "ARCHITECTURE = X64\n");
    if (variables) WritePredefinedVariables(log, variables->names, variables->values);
    std::fclose(log);
    return 1;
}

void InstallScript::TakeArchitecture() {
    if (!sixtyFourBit || tookSixtyFourBit_ || !SystemIsSixtyFourBit()) return;
    if (variables) variables->UseSixtyFourBitFolders();
    SetSixtyFourBitTargets(true);
    tookSixtyFourBit_ = true;
}

bool InstallScript::NeedsOtherArchitecture() const { return sixtyFourBit && !SystemIsSixtyFourBit(); }

}  // namespace dp
