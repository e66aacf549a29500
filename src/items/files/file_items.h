#pragma once
// The work items of the file sections.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "items/files/file_list.h"
#include "items/files/file_operations.h"
#include "items/work/work_item.h"

namespace dp {

// A work item per marked delete item: the file deleted (or its deletion
// scheduled for the reboot), with its result line; a file already gone is up
// to date; a path the rules refuse is refused with its line. Windows only.
void AddFileDeletions(FileList& files, WorkItems& items);
// A work item per install item: the marked ones copied (a file in use is
// replaced at the reboot) with their result lines and the bar moved; the
// others kept. A full disk ends the phase. Windows only.
void AddFileCopies(FileList& files, WorkItems& items);
// A work item per file of [DeleteFilesEnd]. Windows only.
void AddEndFileDeletions(const std::vector<std::string>& paths, WorkItems& items);

// The copy the copy items make for each package file (CopyPackageFile).
// Tests replace it to produce failures a real disk cannot easily give; an
// empty function restores the real one. Returns the previous function.
using CopyFunction = std::function<uint32_t(const std::string& source, const std::string& target,
                                            int32_t& scheduled, const HeldContent* held, CopyDetails* details)>;
CopyFunction SetCopyFunctionForTesting(CopyFunction copy);

// How a copy reads the package file's facts that the reading left to it
// (ReadShownFacts); tests replace it to make that read fault.
using FactsReader = std::function<bool(const std::string& path, FileFacts& facts, std::string& version,
                                       uint32_t& error, std::shared_ptr<const HeldContent>* wholeFile)>;
FactsReader SetFactsReaderForTesting(FactsReader reader);

}  // namespace dp
