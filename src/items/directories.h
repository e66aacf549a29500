#pragma once
// [CreateDirectory], [DeleteDirectory], and the folders of deleted shortcuts.
#include <string>

namespace dp {

class DirectoryList;
class VariableTable;

// Creates every [CreateDirectory] entry with its missing parents. 1.
int CreateListedDirectories(DirectoryList& list);
// Deletes every non-empty [DeleteDirectory] entry with its contents. 1.
int DeleteListedDirectories(DirectoryList& list);
// Removes the folder that holds a deleted shortcut when it is empty and is not
// a predefined folder.
void RemoveShortcutFolder(const std::string& shortcutPath, const VariableTable& variables);

}  // namespace dp
