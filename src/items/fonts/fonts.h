#pragma once
// Font files of the file list: made known to the system after copying, and
// withdrawn from it before deletion.
#include "items/work/work_item.h"

namespace dp {

class FileList;

// A work item per marked font item to install: added for this session and
// registered for every later start (a file the system refuses as a font
// fails; a registration that names another file stays). Windows only.
void AddFontInstallations(const FileList& files, WorkItems& items);
// A work item per marked font item to delete: withdrawn for this session and
// its registration removed when it names this file. Windows only.
void AddFontRemovals(const FileList& files, WorkItems& items);

}  // namespace dp
