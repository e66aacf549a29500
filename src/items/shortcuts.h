#pragma once
// Shortcuts the script creates ([InstallShortcuts]) and deletes ([DeleteShortcuts]).
#include <string>
#include <vector>

#include "base/reporting_base.h"
#include "items/step_context.h"

namespace dp {

class VariableTable;

// [DeleteShortcuts]: shortcut paths to delete (their folders are removed when empty).
class DeleteShortcutList : public ReportingBase {
public:
    ~DeleteShortcutList() override = default;
    std::vector<std::string> paths;
};

// [InstallShortcuts].
class ShortcutList : public ReportingBase {
public:
    ~ShortcutList() override = default;
    std::vector<std::string> lines;  // placeholder until the shortcuts are read
};

int ParseInstallShortcuts(ShortcutList& list, const std::string& section, VariableTable& variables);
int ParseDeleteShortcuts(DeleteShortcutList& list, const std::string& section, VariableTable& variables);
// Deletes the listed shortcuts. Always 1.
int DeleteShortcuts(DeleteShortcutList& list, StepContext& step);
// Creates the listed shortcuts whose target is installed in this run. 0 when
// the COM library cannot be initialised, otherwise 1.
int CreateShortcuts(ShortcutList& list, StepContext& step);

}  // namespace dp
