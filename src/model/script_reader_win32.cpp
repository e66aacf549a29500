// The script reader: loads the script file, removes comments and empty lines,
// and hands the 24 sections to their parsers in a fixed order.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "base/fault_guard_win32.h"
#include "base/file_system_win32.h"
#include "base/file_text.h"
#include "base/run_flags.h"
#include "base/handles_win32.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "model/install_script.h"
#include "model/reading_observer.h"
#include "model/script_sections.h"
#include "script/script_text.h"

namespace dp {
namespace {

// The script file's text. Reports message 146 and returns false when the
// file cannot be read (or is larger than the reading takes), message 260 or
// 261 when its Unicode text is broken or cannot be held in the system code
// page.
bool LoadScriptFile(const std::string& path, std::string& text) {
    std::string bytes;
    if (const uint32_t error = ReadWholeFile(path, bytes, kMaxTextFileSize)) {
        ShowErrorDetail(error, kMsgErrorOpeningIni, path, kBoxOk);
        return false;
    }
    switch (TextFromFileBytes(bytes, text)) {
        case FileTextError::kNone: break;
        case FileTextError::kBadUnicode: ShowErrorDetail(0, kMsgBadUnicodeText, path, kBoxOk); return false;
        case FileTextError::kNotInCodePage: ShowErrorDetail(0, kMsgNotInCodePage, path, kBoxOk); return false;
    }
    text = ScriptTextFromBytes(text);
    return true;
}

// Whether the text holds any of the section headers (spelled exactly).
bool HasKnownSection(std::string_view text) {
    for (const ScriptSection& row : kScriptSections)
        if (text.find(row.header) != std::string_view::npos) return true;
    return false;
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

bool IsParameters(const ScriptSection& row) { return std::strcmp(row.header, "[Parameters]") == 0; }
bool IsStrings(const ScriptSection& row) { return std::strcmp(row.header, "[Strings]") == 0; }

// The two texts the reader works on. After a processor fault they are
// deliberately not freed: the fault may have left them half-changed.
struct ReaderBuffers {
    std::string text;
    std::string section;
};

}  // namespace

int InstallScript::ReadScript(const std::string& scriptPath) {
    auto buffers = std::make_unique<ReaderBuffers>();
    int loaded = 0;
    const GuardOutcome loading = RunGuarded(
        [&] {
            if (!LoadScriptFile(scriptPath, buffers->text)) return 0;
            if (observer) observer->ScriptLoaded(buffers->text);
            RemoveComments(buffers->text);
            RemoveEmptyLines(buffers->text);
            return 1;
        },
        loaded);
    if (loading == GuardOutcome::kOutOfMemory)
        ShowErrorDetail(ERROR_NOT_ENOUGH_MEMORY, kMsgErrorOpeningIni, scriptPath, kBoxOk);
    if (loading == GuardOutcome::kProcessorFault) (void)buffers.release();
    if (loading != GuardOutcome::kCompleted || !loaded) return 0;
    // Nothing to do is no script: a text in another form (UTF-16 without its
    // byte-order mark) or with headers spelt otherwise ("[installfiles]").
    if (!HasKnownSection(buffers->text)) {
        ShowErrorDetail(0, kMsgNoKnownSection, scriptPath, kBoxOk);
        return 0;
    }

    for (const ScriptSection& row : kScriptSections) {
        if (afterReboot && !row.readAfterReboot) continue;

        if (observer) observer->Turning(row.header);
        int result = 0;
        GuardOutcome outcome = RunGuarded(
            [&] {
                // The check of a script maps lines to the whole text: it
                // keeps it; any other reading holds a large section once.
                if (observer)
                    ExtractSection(*this, row.header, buffers->section, buffers->text);
                else
                    TakeSection(*this, row.header, buffers->section, buffers->text);
                return row.parse(*this, buffers->section);
            },
            result);
        if (outcome == GuardOutcome::kOutOfMemory) {
            // Said as such, for every section: no fault of the script's text.
            ShowErrorDetail(ERROR_NOT_ENOUGH_MEMORY, kMsgErrorReadingIniSection, row.header, kBoxOk);
            return 0;
        }
        if (outcome != GuardOutcome::kCompleted) {
            // A fault ends the reading as a failed section. [Strings] has no
            // message of its own for it; the driver's "Error reading" follows.
            if (!IsStrings(row) && (IsParameters(row) || stopRequested.load() != 1))
                ShowErrorDetail(0, kMsgFaultReadingIniSection, row.header, kBoxOk);
            if (outcome == GuardOutcome::kProcessorFault) (void)buffers.release();
            return 0;
        }
        if (result == 0 && observer) result = observer->SectionFailed(*this, row, buffers->section);
        if (result == 0) {
            if (stopRequested.load() != 1)
                ShowErrorDetail(0, kMsgErrorReadingIniSection, row.header, kBoxOk);
            return 0;
        }

        if (IsParameters(row)) TakeArchitecture();
        if (IsStrings(row)) {
            if (observer) observer->Turning(kLogPathStep);
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
            // A 64-bit product on a 32-bit system: refused before any item is
            // read, once the log can tell it. The check of a script reads on
            // (it tells this itself).
            if (!observer && NeedsOtherArchitecture()) {
                architectureRefused = true;
                ShowError(0, kMsgNeeds64BitWindows, kBoxOk);
                return 0;
            }
        }
    }
    return 1;
}

}  // namespace dp
