#pragma once
// The model of one run: options, machine facts and one list per family of
// script sections.
#include <cstdint>
#include <memory>
#include <string>

#include "base/log_level.h"
#include "base/reporting_base.h"
#include "items/directories/directories.h"
#include "items/files/file_list.h"
#include "items/font_substitutes/font_substitutes.h"
#include "items/program_runs/program_runs.h"
#include "items/registry/registry_items.h"
#include "items/shortcuts/shortcuts.h"
#include "script/variable_table.h"

namespace dp {

class ReadingObserver;

// Layout-compatible with the Win32 OSVERSIONINFOEXA (156 bytes).
struct OsVersionInfo {
    uint32_t dwOSVersionInfoSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
    uint16_t wServicePackMajor;
    uint16_t wServicePackMinor;
    uint16_t wSuiteMask;
    uint8_t wProductType;
    uint8_t wReserved;
};
static_assert(sizeof(OsVersionInfo) == 156, "OSVERSIONINFOEXA layout");

constexpr uint32_t kPlatformNt = 2;
// The log in the program's directory when nothing names another.
constexpr char kDefaultLogName[] = "kitup.log";

class InstallScript : public ReportingBase {
public:
    // Reads the program directory, the saved dialog placement, the system
    // version, and builds the variable table (Windows only).
    InstallScript();
    // A model with the defaults only, for the given program directory; reads
    // nothing from the system and leaves the variable table empty.
    explicit InstallScript(const std::string& programDir);
    ~InstallScript() override;

    InstallScript(const InstallScript&) = delete;
    InstallScript& operator=(const InstallScript&) = delete;

    // Loads the script, cuts its sections and parses them (Windows only).
    int ReadScript(const std::string& scriptPath);
    // Applies [Parameters]. 1, or 0 for a line without "=" or a confirmed Stop.
    int ParseParameters(const std::string& section);
    // Creates the log's directories and writes the run's header (Windows only).
    int OpenLog();
    // After [Parameters]: a script that asks for a 64-bit install makes, on a
    // 64-bit system, the rest of the run a 64-bit one (its folders, its file
    // calls, its registry view; base/target_architecture.h) (Windows only).
    void TakeArchitecture();
    // Whether the script asks for a 64-bit install that this system cannot
    // take (a 32-bit system) (Windows only).
    bool NeedsOtherArchitecture() const;

    uint8_t afterReboot = 0;
    // The run only writes a plan: nothing on the machine changes, not even the log.
    bool planOnly = false;
    // A quiet run: a log that cannot be opened is replaced by the fallback
    // log (FallbackLogPath) instead of being reported in a box.
    bool fallbackLog = false;
    std::string logPath;
    int32_t testInstall = 0;
    LogLevel logLevel = LogLevel::Short;
    int32_t logSizeKB = 2048;
    // [Parameters] RUNTIMEOUT: the longest wait for a waited program or a COM
    // server's registration, in seconds; 0: no limit.
    int32_t runTimeoutSeconds = 0;
    // [Parameters] ARCHITECTURE=X64: the script installs a 64-bit product.
    bool sixtyFourBit = false;
    // The reading refused the script: it needs 64-bit Windows and the system
    // is a 32-bit one. Nothing was changed.
    bool architectureRefused = false;
    DeleteShortcutList deleteShortcutList;
    std::string commandLine;
    std::string programDirectory;
    int32_t rebootRequired = 0;
    OsVersionInfo osVersion{};
    FileList fileList;
    RegEntryList regEntries;
    RegKeyList regKeys;
    RunFileList runList;
    std::unique_ptr<VariableTable> variables;
    ShortcutList shortcutList;
    DirectoryList directoryList;
    FontSubstituteList setFontSubstitutes;
    FontSubstituteList deleteFontSubstitutes;
    EndFileList deleteFilesEndList;
    int32_t windowRect[4] = {20, 20, 600, 400};
    int32_t columnWidths[9] = {80, 80, 80, 80, 30, 30, 30, 30, 30};
    // What this run did with its items (counted by the phases).
    RunTally tally;
    // Whether the log gets a line with the outcome of every item (a quiet
    // run's full log).
    bool outcomeLines = false;
    // A transactional run ([Parameters] ROLLBACK=YES, -ROLLBACK): a failure
    // or a Cancel undoes every change; and whether this run was rolled back.
    bool rollback = false;
    bool rolledBack = false;
    // Follows the reading when the script is only checked (-CHECK=); not owned.
    ReadingObserver* observer = nullptr;

private:
    // This model made the run a 64-bit one: the run is over with the model.
    bool tookSixtyFourBit_ = false;
};

// The one model of the run; set by the script-reading thread right after
// construction and left set until the driver destroys it.
extern InstallScript* currentScript;

}  // namespace dp
