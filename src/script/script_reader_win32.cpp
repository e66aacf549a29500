// The script reader: loads the script file, removes comments and empty lines,
// and hands the 24 sections to their parsers in a fixed order.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

#include "app/fault_guard_win32.h"
#include "app/run_flags.h"
#include "app/win32_handles_win32.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "script/install_script.h"
#include "script/script_text.h"

namespace dp {
namespace {

// Row numbers (counted from 1) of the sections in kSectionHeaders.
constexpr int kRowParameters = 1;
constexpr int kRowStrings = 2;
// Rows 3 to 19 install things; a run after a reboot does not read them.
constexpr int kFirstInstallRow = 3;
constexpr int kLastInstallRow = 19;

// The script file's text. Reports message 146 and returns false when the
// file cannot be read.
bool LoadScriptFile(const std::string& path, std::string& text) {
    DWORD size = 0;
    {
        UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            ShowErrorDetail(GetLastError(), kMsgErrorOpeningIni, path, kBoxOk);
            return false;
        }
        DWORD high = 0;
        size = GetFileSize(file.get(), &high);
        if (high != 0 || size == INVALID_FILE_SIZE) size = INVALID_FILE_SIZE;  // no room anyway
    }
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (!stream) {
        ShowError(0, kMsgErrorOpeningIni, kBoxOk);
        return false;
    }
    std::string bytes;
    try {
        bytes.resize(size);
    } catch (const std::exception&) {  // bad_alloc, length_error: too big to hold
        std::fclose(stream);
        ShowError(0, kMsgErrorOpeningIni, kBoxOk);
        return false;
    }
    // The file may have shrunk since its size was taken: keep what was read.
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), stream));
    std::fclose(stream);
    text = ScriptTextFromBytes(bytes);
    return true;
}

// Hands one section to its parser, with the arguments of its row.
int ParseSectionRow(InstallScript& script, int row, const std::string& section) {
    VariableTable& variables = *script.variables;
    FileList& files = script.fileList;
    const std::string& programDirectory = script.programDirectory;
    switch (row) {
        case 1: return script.ParseParameters(section);
        case 2: return variables.ParseStringsSection(section);
        //                                                always reg sys font
        case 5: return files.ParseInstallSection(section, 0, 0, 0, 0, variables, programDirectory);
        case 12: return files.ParseInstallSection(section, 0, 0, 1, 0, variables, programDirectory);
        case 13: return files.ParseInstallSection(section, 0, 1, 1, 0, variables, programDirectory);
        case 14: return files.ParseInstallSection(section, 0, 0, 0, 1, variables, programDirectory);
        case 15: return files.ParseInstallSection(section, 1, 0, 0, 1, variables, programDirectory);
        case 16: return files.ParseInstallSection(section, 1, 0, 0, 0, variables, programDirectory);
        case 17: return files.ParseInstallSection(section, 0, 1, 0, 0, variables, programDirectory);
        case 18: return files.ParseInstallSection(section, 1, 1, 0, 0, variables, programDirectory);
        //                                                 reg font
        case 9: return files.ParseDeleteSection(section, 0, 0, variables);
        case 10: return files.ParseDeleteSection(section, 1, 0, variables);
        case 11: return files.ParseDeleteSection(section, 0, 1, variables);
        // Font substitutes (3, 4), registry entries (6, 7), program runs (8,
        // 24), shortcuts (19, 20), directories (21, 22) and [DeleteFilesEnd]
        // (23): their parsers are not written yet; the sections are cut out
        // and left unread.
        default: return 1;
    }
}

// Completes the log file name after [Strings] and opens the log.
void CompleteLogPathAndOpenLog(InstallScript& script) {
    VariableTrim(script.logPath);
    script.variables->ExpandVariables(script.logPath, false);  // an undefined name was reported
    VariableTrim(script.logPath);
    if (script.logPath.find('\\') == std::string::npos)
        script.logPath = script.variables->programDirectory + script.logPath;
    script.OpenLog();
}

// The two texts the reader works on. After a processor fault they are
// deliberately not freed: the fault may have left them half-changed.
struct ReaderBuffers {
    std::string text;
    std::string section;
};

}  // namespace

int InstallScript::ReadScript(const std::string& scriptPath) {
    auto buffers = std::make_unique<ReaderBuffers>();
    if (!LoadScriptFile(scriptPath, buffers->text)) return 0;
    RemoveComments(buffers->text);
    RemoveEmptyLines(buffers->text);

    for (int row = 1; row <= kSectionCount; ++row) {
        if (afterReboot && row >= kFirstInstallRow && row <= kLastInstallRow) continue;
        const char* header = kSectionHeaders[row - 1];

        int result = 0;
        GuardOutcome outcome = RunGuarded(
            [&] {
                ExtractSection(*this, header, buffers->section, buffers->text);
                return ParseSectionRow(*this, row, buffers->section);
            },
            result);
        if (outcome != GuardOutcome::kCompleted) {
            // A fault ends the reading as a failed section. [Strings] has no
            // message of its own for it; the driver's "Error reading" follows.
            if (row == kRowParameters || (row != kRowStrings && stopRequested.load() != 1))
                ShowErrorDetail(0, kMsgFaultReadingIniSection, header, kBoxOk);
            if (outcome == GuardOutcome::kProcessorFault) (void)buffers.release();
            return 0;
        }
        if (result == 0) {
            if (stopRequested.load() != 1)
                ShowErrorDetail(0, kMsgErrorReadingIniSection, header, kBoxOk);
            return 0;
        }

        if (row == kRowStrings) {
            int ignored = 0;
            GuardOutcome logOutcome = RunGuarded(
                [&] {
                    CompleteLogPathAndOpenLog(*this);
                    return 1;
                },
                ignored);
            if (logOutcome != GuardOutcome::kCompleted) {
                if (logOutcome == GuardOutcome::kProcessorFault) (void)buffers.release();
                return 0;
            }
        }
    }
    return 1;
}

}  // namespace dp
