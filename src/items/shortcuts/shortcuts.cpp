// Reading [InstallShortcuts] and [DeleteShortcuts], and which targets this run
// installs.
#include "items/shortcuts/shortcuts.h"

#include "base/reading_watch.h"
#include "base/run_flags.h"
#include "base/text.h"
#include "items/files/file_list.h"
#include "script/script_text.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// Trimmed and expanded; an undefined variable has been reported by the table
// and the text stays as far as it was expanded.
std::string ShortcutField(std::string_view text, VariableTable& variables) {
    std::string field(text);
    VariableTrim(field);
    variables.ExpandVariables(field, false);
    return field;
}

}  // namespace

int ParseInstallShortcuts(ShortcutList& list, const std::string& section, VariableTable& variables) {
    int32_t stop = stopRequested.load();
    if (section.empty()) return stop == 1 ? 0 : 1;

    SectionWalk walk(list, section);
    list.linkPaths.reserve(list.linkPaths.size() + walk.lines().size());
    list.targetPaths.reserve(list.targetPaths.size() + walk.lines().size());
    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return 0;
        std::string link(line.substr(0, equals));
        VariableTrim(link);
        if (!walk.Next(link)) break;
        variables.ExpandVariables(link, false);
        std::string target = ShortcutField(line.substr(equals + 1), variables);
        list.linkPaths.push_back(std::move(link));
        list.targetPaths.push_back(std::move(target));
    }
    return walk.Finish();
}

int ParseDeleteShortcuts(DeleteShortcutList& list, const std::string& section, VariableTable& variables) {
    std::string text = section;
    VariableTrim(text);
    if (text.empty()) return 1;

    SectionWalk walk(list, text);
    list.linkPaths.reserve(list.linkPaths.size() + walk.lines().size());
    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        std::string link(line);
        VariableTrim(link);
        if (!walk.Next(link)) break;
        variables.ExpandVariables(link, false);
        list.linkPaths.push_back(std::move(link));
    }
    return walk.Finish();
}

int IsInstalledTarget(const FileList& files, const std::string& path) {
    for (const FileItem& item : files.items)
        if (item.targetPath == path) return item.selected && !item.deleteItem ? 1 : 0;
    return 0;
}

}  // namespace dp
