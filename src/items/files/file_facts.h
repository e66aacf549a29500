#pragma once
// Reading what the update decision needs to know about one file (Windows only).
#include <cstdint>
#include <memory>
#include <string>

#include "items/files/file_list.h"

namespace dp {

// The texts shown for a file's facts.
struct FileFactTexts {
    std::string versionText;  // "FileVersion" of the last translation; empty if none
    std::string dateText;     // last-write date, "d.m.y"
    std::string sizeText;     // size in decimal
    uint32_t errorCode = 0;   // the system's code of the step that failed (0: read)
};

// Fills facts and texts. 1 on success; 0 with errorText set ("Error opening
// file ErrCode=%i" and the like) when a step failed. With wholeFile, a file
// small enough to be read whole with its head (8 KiB) is handed back there
// (else it is emptied).
int ReadFileFacts(const std::string& path, FileFacts& facts, FileFactTexts& texts,
                  std::string& errorText, std::shared_ptr<const HeldContent>* wholeFile = nullptr);

// The facts of one file and, with a version resource, its FileVersion text
// (else empty), as an item keeps them. Returns whether they were read (else
// error holds the system's code). With wholeFile, a small file's bytes come
// back there.
bool ReadShownFacts(const std::string& path, FileFacts& facts, std::string& version, uint32_t& error,
                    std::shared_ptr<const HeldContent>* wholeFile = nullptr);

// Version resources are read straight from plain executable images, and
// through the system's version library for everything else. With true, every
// file goes through the library (to compare the two).
void SetVersionLibraryOnly(bool libraryOnly);

// Whether anything (a file or a folder) exists under the path.
bool FileExists(const std::string& path);
// The same, with its last-write time (as FileFacts holds it), which the
// system tells without opening the file.
bool FileExists(const std::string& path, uint64_t& lastWriteTime);

}  // namespace dp
