#pragma once
// Shortcuts the script creates ([InstallShortcuts]) and deletes ([DeleteShortcuts]).
#include <cstdint>
#include <string>
#include <vector>

#include "base/reporting_base.h"
#include "items/step_context.h"

namespace dp {

class FileList;
class VariableTable;

// [DeleteShortcuts]: shortcut paths to delete (their folders are removed when empty).
class DeleteShortcutList : public ReportingBase {
public:
    ~DeleteShortcutList() override = default;
    int32_t count() const { return static_cast<int32_t>(linkPaths.size()); }
    // Each shortcut's path without ".lnk", trimmed and expanded.
    std::vector<std::string> linkPaths;
};

// [InstallShortcuts]: "shortcut path=target path" lines.
class ShortcutList : public ReportingBase {
public:
    ~ShortcutList() override = default;
    int32_t count() const { return static_cast<int32_t>(linkPaths.size()); }
    // Each shortcut's path without ".lnk", and the path it points to; both
    // trimmed and expanded. One entry per index in both.
    std::vector<std::string> linkPaths;
    std::vector<std::string> targetPaths;
};

// One entry per line, split at the first "=" (later ones belong to the
// target). 1, also for an empty section; 0 for a line without "=" or a
// confirmed Stop.
int ParseInstallShortcuts(ShortcutList& list, const std::string& section, VariableTable& variables);
// One shortcut path per line. 1, or 0 for a confirmed Stop.
int ParseDeleteShortcuts(DeleteShortcutList& list, const std::string& section, VariableTable& variables);

// 1 when the first file item whose target path equals the path (case
// matters) is marked and is not a delete item; 0 otherwise and when no item
// has that target.
int IsInstalledTarget(const FileList& files, const std::string& path);

// Deletes the listed shortcuts. Always 1.
int DeleteShortcuts(DeleteShortcutList& list, StepContext& step);
// Creates the listed shortcuts whose target is installed in this run. 0 when
// the COM library cannot be initialised, otherwise 1.
int CreateShortcuts(ShortcutList& list, StepContext& step);
// Creates the folder that will hold the shortcut, one level only (nothing
// when the path has no backslash). 0, or the system's error.
uint32_t CreateShortcutFolder(const std::string& shortcutPath);

}  // namespace dp
