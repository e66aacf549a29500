#pragma once
// Font files of the file list: made known to the system after copying, and
// removed from it before deletion.
namespace dp {

class FileList;
class VariableTable;

// Every marked font install item. Always 1.
int InstallFonts(FileList& files, VariableTable& variables);
// Every marked font delete item. Always 1.
int RemoveFonts(FileList& files, VariableTable& variables);

}  // namespace dp
