#pragma once
// The texts an item shows of its files, made from what the item keeps (pure).
#include <string>

#include "items/files/file_list.h"

namespace dp {

// The version text ("- not found -", "- get error -", the FileVersion text,
// or the date without a version resource) and "size; date" of each file.
std::string TargetVersionText(const FileItem& item);
std::string TargetDetails(const FileItem& item);
std::string SourceVersionText(const FileItem& item);
std::string SourceDetails(const FileItem& item);
// The files' names: the last part of each path ("- need to be deleted -" for
// the package side of a delete item).
std::string TargetName(const FileItem& item);
std::string SourceName(const FileItem& item);
// With the rule FactsUnreadable: the file whose facts could not be read.
const std::string& UnreadablePath(const FileItem& item);

// What a reading found of one file: shown from its facts (with its version
// text) when read, "- get error -" when not.
void ShowTargetFacts(FileItem& item, const FileFacts& facts, std::string version, bool read);
void ShowSourceFacts(FileItem& item, const FileFacts& facts, std::string version, bool read);

}  // namespace dp
