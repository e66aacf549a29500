// Reading [InstallShortcuts] and [DeleteShortcuts], and which targets this run
// installs.
#include "items/shortcuts.h"

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

    const std::vector<std::string_view> lines = SplitLines(section);
    const int total = static_cast<int>(lines.size());
    list.linkPaths.reserve(list.linkPaths.size() + lines.size());
    list.targetPaths.reserve(list.targetPaths.size() + lines.size());
    int done = 0;
    for (std::string_view line : lines) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return 0;
        std::string link(line.substr(0, equals));
        VariableTrim(link);
        list.ShowProgressLine(link, kItemLine);
        list.PollStop(++done, total, stop);
        if (stop == 1) break;
        variables.ExpandVariables(link, false);
        std::string target = ShortcutField(line.substr(equals + 1), variables);
        list.linkPaths.push_back(std::move(link));
        list.targetPaths.push_back(std::move(target));
    }
    list.PollStop(0, total, stop);
    return stop == 1 ? 0 : 1;
}

int ParseDeleteShortcuts(DeleteShortcutList& list, const std::string& section, VariableTable& variables) {
    int32_t stop = stopRequested.load();
    std::string text = section;
    VariableTrim(text);
    if (text.empty()) return 1;

    const std::vector<std::string_view> lines = SplitLines(text);
    const int total = static_cast<int>(lines.size());
    list.linkPaths.reserve(list.linkPaths.size() + lines.size());
    int done = 0;
    for (std::string_view line : lines) {
        std::string link(line);
        VariableTrim(link);
        list.ShowProgressLine(link, kItemLine);
        list.PollStop(++done, total, stop);
        if (stop == 1) break;
        variables.ExpandVariables(link, false);
        list.linkPaths.push_back(std::move(link));
    }
    list.PollStop(0, total, stop);
    return stop == 1 ? 0 : 1;
}

int IsInstalledTarget(const FileList& files, const std::string& path) {
    for (const FileItem& item : files.items)
        if (item.targetPath == path) return item.selected && !item.deleteItem ? 1 : 0;
    return 0;
}

}  // namespace dp
