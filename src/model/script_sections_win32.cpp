// Which parser reads which section, in the order the script is read. The
// headers are the families' own.
#include "model/script_sections.h"

#include "items/directories/directories.h"
#include "items/files/file_list.h"
#include "items/font_substitutes/font_substitutes.h"
#include "items/program_runs/program_runs.h"
#include "items/registry/registry_items.h"
#include "items/shortcuts/shortcuts.h"
#include "model/install_script.h"

namespace dp {
namespace {

using Script = InstallScript;
using Text = const std::string&;

// Flags of the file sections: always, register, system, font.
template <int always, int registerFile, int system, int font>
int InstallSection(Script& s, Text section) {
    return s.fileList.ParseInstallSection(section, always, registerFile, system, font, *s.variables,
                                          s.programDirectory);
}
// Flags of the delete sections: register, font.
template <int registerFile, int font>
int DeleteSection(Script& s, Text section) {
    return s.fileList.ParseDeleteSection(section, registerFile, font, *s.variables);
}

}  // namespace

const ScriptSection kScriptSections[kScriptSectionCount] = {
    {kParametersSection, true, [](Script& s, Text t) { return s.ParseParameters(t); }},
    {kStringsSection, true, [](Script& s, Text t) { return s.variables->ParseStringsSection(t); }},
    {kSetFontSubstitutesSection, false,
     [](Script& s, Text t) { return ParseFontSubstitutes(s.setFontSubstitutes, t, 0); }},
    {kDeleteFontSubstitutesSection, false,
     [](Script& s, Text t) { return ParseFontSubstitutes(s.deleteFontSubstitutes, t, 1); }},
    {kInstallFilesSection, false, &InstallSection<0, 0, 0, 0>},
    {kInstallRegEntriesSection, false,
     [](Script& s, Text t) { return ParseInstallRegEntries(s.regEntries, t, *s.variables); }},
    {kDeleteRegEntriesSection, false,
     [](Script& s, Text t) { return ParseDeleteRegEntries(s.regKeys, t, *s.variables); }},
    {kRunFileFirstSection, false,
     [](Script& s, Text t) { return ParseRunFiles(s.runList, t, 0, *s.variables); }},
    {kDeleteFilesFirstSection, false, &DeleteSection<0, 0>},
    {kDeleteRegisterFilesSection, false, &DeleteSection<1, 0>},
    {kDeleteFontsSection, false, &DeleteSection<0, 1>},
    {kInstallSystemFilesSection, false, &InstallSection<0, 0, 1, 0>},
    {kInstallSystemRegisterFilesSection, false, &InstallSection<0, 1, 1, 0>},
    {kInstallFontsSection, false, &InstallSection<0, 0, 0, 1>},
    {kAlwaysInstallFontsSection, false, &InstallSection<1, 0, 0, 1>},
    {kAlwaysInstallFilesSection, false, &InstallSection<1, 0, 0, 0>},
    {kInstallRegisterFilesSection, false, &InstallSection<0, 1, 0, 0>},
    {kAlwaysInstallRegisterFilesSection, false, &InstallSection<1, 1, 0, 0>},
    {kInstallShortcutsSection, false,
     [](Script& s, Text t) { return ParseInstallShortcuts(s.shortcutList, t, *s.variables); }},
    {kDeleteShortcutsSection, true,
     [](Script& s, Text t) { return ParseDeleteShortcuts(s.deleteShortcutList, t, *s.variables); }},
    {kCreateDirectorySection, true,
     [](Script& s, Text t) { return ParseDirectorySection(s.directoryList, t, 0, *s.variables); }},
    {kDeleteDirectorySection, true,
     [](Script& s, Text t) { return ParseDirectorySection(s.directoryList, t, 1, *s.variables); }},
    {kDeleteFilesEndSection, true,
     [](Script& s, Text t) { return ParseDeleteFilesEnd(s.deleteFilesEndList, t, *s.variables); }},
    {kRunFileEndSection, true,
     [](Script& s, Text t) { return ParseRunFiles(s.runList, t, 1, *s.variables); }},
};

}  // namespace dp
