#pragma once
// The system's version library (version.dll), loaded from the system
// directory on first use and kept for the life of the process.
#include <windows.h>

#include <cstdint>
#include <string>

namespace dp {

struct FileVersionQuery {
    bool ok = false;            // false: a step failed (failedStep, error)
    const char* failedStep = "";  // "GetFileVersionInfo" or "VerQueryValue"
    DWORD error = 0;
    bool hasVersion = false;    // the file has a version resource
    std::string fileVersion;    // FileVersion of the last translation that has one
    bool hasFixed = false;      // the fixed part was there
    uint32_t versionMS = 0;
    uint32_t versionLS = 0;
};

// Reads the version resource of a file through the library. A file without
// one gives ok and hasVersion false. When the library or one of its
// functions cannot be had, the step is "GetFileVersionInfo" with the
// loader's error.
FileVersionQuery QueryFileVersion(const std::string& path);

}  // namespace dp
