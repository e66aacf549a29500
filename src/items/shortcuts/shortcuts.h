#pragma once
// Shortcuts the script creates ([InstallShortcuts]) and deletes ([DeleteShortcuts]).
#include <cstdint>
#include <string>
#include <vector>

#include "base/reporting_base.h"
#include "items/work/work_item.h"

namespace dp {

inline constexpr char kInstallShortcutsSection[] = "[InstallShortcuts]";
inline constexpr char kDeleteShortcutsSection[] = "[DeleteShortcuts]";

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

// A work item per listed shortcut to delete: the link file goes (a missing
// one is up to date).
void AddShortcutDeletions(const DeleteShortcutList& list, WorkItems& items);
// A work item per listed shortcut to create: created when its target is
// installed in this run, else left alone (up to date). A COM library or link
// object that cannot be had is shown once and fails every shortcut.
void AddShortcutCreations(const ShortcutList& list, const FileList& files, WorkItems& items);
// A work item per folder of a deleted shortcut (once each, never a
// predefined folder): removed when empty.
void AddShortcutFolderRemovals(const DeleteShortcutList& list, const VariableTable& variables, WorkItems& items);
// Creates the folder that will hold the shortcut, one level only (nothing
// when the path has no backslash). 0, or the system's error.
uint32_t CreateShortcutFolder(const std::string& shortcutPath);

}  // namespace dp
