// Which parser reads which section, in the order the script is read.
#include "model/script_sections.h"

#include "items/directories.h"
#include "items/files/file_list.h"
#include "items/font_substitutes.h"
#include "items/program_runs.h"
#include "items/registry/registry_items.h"
#include "items/shortcuts.h"
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
    {"[Parameters]", true, [](Script& s, Text t) { return s.ParseParameters(t); }},
    {"[Strings]", true, [](Script& s, Text t) { return s.variables->ParseStringsSection(t); }},
    {"[SetFontSubstitutes]", false,
     [](Script& s, Text t) { return ParseFontSubstitutes(s.setFontSubstitutes, t, 0); }},
    {"[DeleteFontSubstitutes]", false,
     [](Script& s, Text t) { return ParseFontSubstitutes(s.deleteFontSubstitutes, t, 1); }},
    {"[InstallFiles]", false, &InstallSection<0, 0, 0, 0>},
    {"[InstallRegEntries]", false,
     [](Script& s, Text t) { return ParseInstallRegEntries(s.regEntries, t, *s.variables); }},
    {"[DeleteRegEntries]", false,
     [](Script& s, Text t) { return ParseDeleteRegEntries(s.regKeys, t, *s.variables); }},
    {"[RunFileFirst]", false,
     [](Script& s, Text t) { return ParseRunFiles(s.runList, t, 0, *s.variables); }},
    {"[DeleteFilesFirst]", false, &DeleteSection<0, 0>},
    {"[DeleteRegisterFiles]", false, &DeleteSection<1, 0>},
    {"[DeleteFonts]", false, &DeleteSection<0, 1>},
    {"[InstallSystemFiles]", false, &InstallSection<0, 0, 1, 0>},
    {"[InstallSystemRegisterFiles]", false, &InstallSection<0, 1, 1, 0>},
    {"[InstallFonts]", false, &InstallSection<0, 0, 0, 1>},
    {"[AlwaysInstallFonts]", false, &InstallSection<1, 0, 0, 1>},
    {"[AlwaysInstallFiles]", false, &InstallSection<1, 0, 0, 0>},
    {"[InstallRegisterFiles]", false, &InstallSection<0, 1, 0, 0>},
    {"[AlwaysInstallRegisterFiles]", false, &InstallSection<1, 1, 0, 0>},
    {"[InstallShortcuts]", false,
     [](Script& s, Text t) { return ParseInstallShortcuts(s.shortcutList, t, *s.variables); }},
    {"[DeleteShortcuts]", true,
     [](Script& s, Text t) { return ParseDeleteShortcuts(s.deleteShortcutList, t, *s.variables); }},
    {"[CreateDirectory]", true,
     [](Script& s, Text t) { return ParseDirectorySection(s.directoryList, t, 0, *s.variables); }},
    {"[DeleteDirectory]", true,
     [](Script& s, Text t) { return ParseDirectorySection(s.directoryList, t, 1, *s.variables); }},
    {"[DeleteFilesEnd]", true,
     [](Script& s, Text t) { return ParseDeleteFilesEnd(s.deleteFilesEndList, t, *s.variables); }},
    {"[RunFileEnd]", true,
     [](Script& s, Text t) { return ParseRunFiles(s.runList, t, 1, *s.variables); }},
};

}  // namespace dp
