// [InstallRegEntries] and [DeleteRegEntries]: each line names a file, which is
// read whole and turned into registry values to write or keys to delete.
#include "base/file_system_win32.h"
#include "base/reading_watch.h"
#include "base/file_text.h"
#include "base/run_flags.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/registry/reg_file_text.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "script/variable_table.h"

namespace dp {
namespace {

void ShowBox(const std::string& text) { ShowMessageBox(text, LoadMessage(kMsgErrorCaption), kBoxOk); }

// The bytes of a named file; false after the "Error open reg file" box.
bool ReadNamedFile(const std::string& path, std::string& bytes) {
    if (ReadWholeFile(path, bytes, kMaxTextFileSize) == 0) return true;
    ShowBox(LoadMessage(kMsgErrorOpeningRegFile) + " " + path);
    return false;
}

// The text of a file's bytes (a Unicode text with its byte-order mark in the
// system code page); false after a box that says why not.
bool TextOfFile(const std::string& path, const std::string& bytes, std::string& text) {
    switch (TextFromFileBytes(bytes, text)) {
        case FileTextError::kNone: return true;
        case FileTextError::kBadUnicode: ShowBox(LoadMessage(kMsgBadUnicodeText) + " " + path + "."); return false;
        case FileTextError::kNotInCodePage: ShowBox(LoadMessage(kMsgNotInCodePage) + " " + path + "."); return false;
    }
    return false;
}

// Reads every file the section names and hands its text, prepared by
// `prepare`, to `parseFile`; a file either rejects (a zero byte in it, a
// line that breaks the format) gets the format box, one whose Unicode text
// cannot be had a box of its own, and the next line follows. The section
// text is trimmed of `blanks` first.
template <typename Prepare, typename ParseFile>
int ParseFileSection(const std::string& section, const char* blanks, VariableTable& variables,
                     Prepare prepare, ParseFile parseFile) {
    std::string text = section;
    TrimChars(text, blanks);
    if (text.empty()) return stopRequested.load() == 1 ? 0 : 1;

    SectionWalk walk(variables, text);
    std::string path, bytes, fileText;
    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        if (!RegFilePathFromLine(line, variables.programDirectory, path)) {
            ShowBox(LoadMessage(kMsgWrongRegEntriesFormat));
            return 0;
        }
        if (!walk.Next(path)) return 0;
        if (!ReadNamedFile(path, bytes)) return 0;
        if (!TextOfFile(path, bytes, fileText)) continue;
        if (!prepare(fileText) || !parseFile(fileText)) ShowBox(LoadMessage(kMsgWrongRegEntriesFormat));
    }
    return walk.Finish();
}

}  // namespace

int ParseInstallRegEntries(RegEntryList& list, const std::string& section, VariableTable& variables) {
    return ParseFileSection(
        section, " \t\r\n", variables, &PrepareRegFileText,
        [&](const std::string& text) { return ParseRegFile(list, text, variables); });
}

int ParseDeleteRegEntries(RegKeyList& list, const std::string& section, VariableTable& variables) {
    return ParseFileSection(
        section, " \r\n", variables, &PrepareKeyFileText,
        [&](const std::string& text) { return ParseRegKeyFile(list, text, variables); });
}

}  // namespace dp
