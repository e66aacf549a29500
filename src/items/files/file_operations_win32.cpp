// Copying, deleting and scheduling the deletion of single files.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/log_text.h"
#include "base/program_win32.h"
#include "base/seam.h"
#include "items/files/file_operations.h"
#include "items/files/file_operations_win32.h"
#include "items/files/wininit_edit.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

bool SetupLibraryCopy(const std::string& source, const std::string& target) {
    // The setup library works in MAX_PATH buffers: a longer path is never
    // handed to it (it can crash on one); such a copy simply failed.
    if (source.size() >= MAX_PATH || target.size() >= MAX_PATH) return false;
    BOOL inUse = FALSE;
    SetupInstallFileExA(nullptr, nullptr, source.c_str(), nullptr, target.c_str(),
                        SP_COPY_SOURCE_ABSOLUTE | SP_COPY_IN_USE_NEEDS_REBOOT | SP_COPY_FORCE_IN_USE,
                        nullptr, nullptr, &inUse);
    return inUse != FALSE;
}

Seam<bool(const std::string&, const std::string&)> g_inUseCopy(&SetupLibraryCopy);
Seam<int(const std::string&)> g_rebootDeletion(&DeleteAtReboot);

// Sets the attributes to what is left after removing `clear`, when any of
// them is set. A path whose attributes cannot be read is left alone.
void ClearAttributes(const std::string& path, DWORD clear) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & clear)) return;
    DWORD kept = attributes & ~clear;
    if (kept == 0) kept = FILE_ATTRIBUTE_NORMAL;
    SetFileAttributesA(path.c_str(), kept);
}

void RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

// Failures of a copy that had begun to write: repeating the copy over the
// target could leave it truncated.
bool IsWriteFailure(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
        return true;
    default:
        return false;
    }
}

std::string TemporaryName(unsigned attempt) {
    char name[32];
    const unsigned long stamp = (GetCurrentProcessId() << 16) ^ GetTickCount() ^ (attempt * 0x9e37u);
    std::snprintf(name, sizeof name, "~dp%08lx.tmp", stamp & 0xffffffffUL);
    return name;
}

// Copies the source into a new file beside the target, then puts that file
// in the target's place, so that a copy failing part-way leaves the target as
// it was (or absent). 0 on success. On failure nothing of the copy is left;
// tryPlainCopy says whether the failure happened before anything was written
// (no room for a temporary name, a folder that is not writable, a target
// that cannot be replaced), where the plain copy may still succeed.
DWORD CopyThroughTemporary(const std::string& source, const std::string& target,
                           bool& tryPlainCopy) {
    tryPlainCopy = true;
    const size_t slash = target.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string temporary;
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 64; ++attempt) {
        temporary = folder + TemporaryName(attempt);
        if (CopyFileA(source.c_str(), temporary.c_str(), TRUE)) {
            error = 0;
            break;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    if (error != 0) {
        // The name was ours unless it already existed.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) RemoveFile(temporary);
        tryPlainCopy = !IsWriteFailure(error);
        return error;
    }
    if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    error = GetLastError();
    RemoveFile(temporary);
    return error;
}

enum class TargetFound { exists, missingInFolder, folderMissing };

// Whether the target exists; when it does not, whether the system found its
// folder (only "file not found" says so: every other answer leaves the folder
// to CreateTargetFolder).
TargetFound TargetState(const std::string& target) {
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) return TargetFound::exists;
    return GetLastError() == ERROR_FILE_NOT_FOUND ? TargetFound::missingInFolder
                                                  : TargetFound::folderMissing;
}

// Copies the source to a target that did not exist. The copy refuses to
// overwrite, so a file that appeared meanwhile gives ERROR_FILE_EXISTS and is
// left to the replacing way; a copy that fails part-way removes the partial
// file, which only it can have created. 0 on success; tryPlainCopy as for
// CopyThroughTemporary.
DWORD CopyToNewTarget(const std::string& source, const std::string& target, bool& tryPlainCopy) {
    tryPlainCopy = true;
    if (CopyFileA(source.c_str(), target.c_str(), TRUE)) return 0;
    const DWORD error = GetLastError();
    if (IsWriteFailure(error)) {
        RemoveFile(target);
        tryPlainCopy = false;
    }
    return error;
}

// Sets the end of the file at `size`.
void CutFile(HANDLE file, DWORD size) {
    if (SetFilePointer(file, static_cast<LONG>(size), nullptr, FILE_BEGIN) !=
        INVALID_SET_FILE_POINTER)
        SetEndOfFile(file);
}

}  // namespace

InUseCopyFunction SetInUseCopyFunction(InUseCopyFunction function) {
    return g_inUseCopy.Replace(std::move(function));
}

RebootDeletionFunction SetRebootDeletionFunction(RebootDeletionFunction function) {
    return g_rebootDeletion.Replace(std::move(function));
}

uint32_t CopyPackageFile(const std::string& source, const std::string& target, int32_t& scheduled) {
    if (source.empty()) return 0;
    // A target that is missing while its folder exists (the usual case of a
    // first install) is copied straight to its name; everything else takes
    // the general way below.
    bool tryPlainCopy = true;
    DWORD error = ERROR_FILE_EXISTS;
    switch (TargetState(target)) {
    case TargetFound::missingInFolder:
        error = CopyToNewTarget(source, target, tryPlainCopy);
        break;
    case TargetFound::folderMissing:
        CreateTargetFolder(target);
        error = CopyToNewTarget(source, target, tryPlainCopy);
        break;
    case TargetFound::exists:
        break;
    }
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        error = CopyThroughTemporary(source, target, tryPlainCopy);
    if (error == 0) {
        ClearAttributes(target, FILE_ATTRIBUTE_READONLY);
        return 0;
    }
    if (!tryPlainCopy) return error;

    if (CopyFileA(source.c_str(), target.c_str(), FALSE)) {
        ClearAttributes(target, FILE_ATTRIBUTE_READONLY);
        return 0;
    }
    error = GetLastError();
    if (g_inUseCopy(source, target)) scheduled = 1;
    return error;
}

void CreateTargetFolder(const std::string& targetPath) {
    const size_t slash = targetPath.find_last_of('\\');
    if (slash == std::string::npos) return;
    CreateFolderIfMissing(targetPath.substr(0, slash));
}

uint32_t RemoveInstalledFile(const std::string& path, int32_t& rebootRequired) {
    if (DeleteFileA(path.c_str())) return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return error;
    // A deletion that could not even be scheduled is a failure, reported with
    // the deletion's own error: the file stays, and no reboot would remove it.
    if (!g_rebootDeletion(path)) return error;
    rebootRequired = 1;
    return 0;
}

std::string WinInitPath() {
    const std::string windows = WindowsDirectory();
    return windows.empty() ? std::string() : windows + "\\WinInit.Ini";
}

int AddRenameDeletion(const std::string& iniPath, const std::string& path) {
    UniqueFile file(CreateFileA(iniPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return 0;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD size = GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
    const size_t lineLength = RenameDeleteLine(path).size();
    // Room for the line and a header; an ini file this large is not edited.
    const uint64_t mappedSize = uint64_t{size} + lineLength + kRenameHeaderLength;
    if (high != 0 || mappedSize > 0x7fffffffULL) return 0;

    UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(mappedSize), nullptr));
    if (!mapping) {
        CutFile(file.get(), size);
        return 0;
    }
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!view) {
        mapping.reset();
        CutFile(file.get(), size);
        return 0;
    }
    char* text = static_cast<char*>(view.get());
    const std::string edited = InsertRenameLine(std::string(text, size), path);
    std::memcpy(text, edited.data(), edited.size());
    view.reset();
    mapping.reset();
    CutFile(file.get(), static_cast<DWORD>(edited.size()));
    return 1;
}

int DeleteAtReboot(const std::string& path) {
    if (MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return 1;
    const std::string ini = WinInitPath();
    if (ini.empty()) return 0;
    return AddRenameDeletion(ini, path);
}

void ClearReadOnlyAndArchive(const std::string& path) {
    ClearAttributes(path, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
}

int DeleteListedFiles(const std::vector<std::string>& paths, std::FILE* log, LogLevel logLevel) {
    for (const std::string& path : paths) {
        const bool deleted = DeleteFileA(path.c_str()) != FALSE;
        const DWORD error = deleted ? 0 : GetLastError();
        if (!log || logLevel == LogLevel::None) continue;
        WriteLogText(log, deleted ? FormatLogMessage(0, kMsgDeletingFile, path)
                                  : FormatLogMessage(error, kMsgErrorDeletingFile, path));
    }
    return 1;
}

}  // namespace dp
