#pragma once
// [CreateDirectory], [DeleteDirectory], [DeleteFilesEnd], and the folders of
// deleted shortcuts.
#include <string>
#include <vector>

#include "base/reporting_base.h"
#include "items/step_context.h"

namespace dp {

class VariableTable;

// [CreateDirectory] and [DeleteDirectory], in one list.
class DirectoryList {
public:
    virtual ~DirectoryList() = default;
    std::vector<std::string> paths;
    std::vector<int> modes;  // placeholder: 0 create, 1 delete
};

// [DeleteFilesEnd]: files deleted at the end of the run.
class EndFileList : public ReportingBase {
public:
    ~EndFileList() override = default;
    std::vector<std::string> paths;
};

int ParseDirectorySection(DirectoryList& list, const std::string& section, int isDelete,
                          VariableTable& variables);
int ParseDeleteFilesEnd(EndFileList& list, const std::string& section, VariableTable& variables);
// Creates every [CreateDirectory] entry with its missing parents. 1.
int CreateListedDirectories(DirectoryList& list, StepContext& step);
// Deletes every non-empty [DeleteDirectory] entry with its contents. 1.
int DeleteListedDirectories(DirectoryList& list, StepContext& step);
// Removes the folder that holds a deleted shortcut when it is empty and is not
// a predefined folder.
void RemoveShortcutFolder(const std::string& shortcutPath, const VariableTable& variables);

}  // namespace dp
