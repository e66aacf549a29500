// Copying, deleting and scheduling the deletion or replacement of single
// files. Every file call goes through base/file_system_win32.h, so the path
// policy holds.
#include <windows.h>

#include <algorithm>
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

Seam<int(const std::string&, const std::string&)> g_rebootReplacement(&ReplaceAtReboot);
Seam<int(const std::string&)> g_rebootDeletion(&DeleteAtReboot);

// Sets the attributes to what is left after removing `clear`, when any of
// them is set. A path whose attributes cannot be read is left alone.
void ClearAttributes(const std::string& path, DWORD clear) {
    DWORD attributes = 0;
    if (GetPathAttributes(path, attributes) != 0 || !(attributes & clear)) return;
    DWORD kept = attributes & ~clear;
    if (kept == 0) kept = FILE_ATTRIBUTE_NORMAL;
    SetPathAttributes(path, kept);
}

void RemoveFile(const std::string& path) {
    SetPathAttributes(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileAt(path);
}

bool IsDiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

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

// Whether a replacement failed because another process has the target open:
// a sharing or lock violation, or access denied on a file that cannot be
// opened for writing because it is open (a running program, a loaded DLL).
// Returns the code that tells the use (0: not in use).
DWORD InUseError(const std::string& target, DWORD error) {
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return error;
    case ERROR_ACCESS_DENIED: {
        uint32_t probe = 0;
        UniqueFile file = OpenFileAt(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     OPEN_EXISTING, 0, probe);
        return !file && (probe == ERROR_SHARING_VIOLATION || probe == ERROR_LOCK_VIOLATION) ? probe : 0;
    }
    default:
        return 0;
    }
}

std::string TemporaryName(unsigned attempt) {
    char name[32];
    const unsigned long stamp = (GetCurrentProcessId() << 16) ^ GetTickCount() ^ (attempt * 0x9e37u);
    std::snprintf(name, sizeof name, "~dp%08lx.tmp", stamp & 0xffffffffUL);
    return name;
}

// The folder of a path, with its final backslash ("" without one).
std::string FolderPart(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsNameTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

// Where a copy's bytes come from: the package file, or its bytes held since
// its facts were read (while the file still has their size and time).
struct PackageSource {
    const std::string& path;
    const HeldContent* held = nullptr;
    DWORD attributes = 0;  // the package file's, with held bytes
    // Set when the held bytes went into a file whose attributes were made
    // final on its handle after the writes.
    mutable bool finalAttributes = false;
};

// The held bytes when they still stand for the file: same size, same
// last-write time (told without opening it). Null otherwise.
const HeldContent* StillCurrent(const std::string& path, const HeldContent* held, DWORD& attributes) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!held || PathDataAt(path, data) != 0 || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    if (FileSizeValue(data) != held->bytes.size() || FileTimeValue(data.ftLastWriteTime) != held->lastWriteTime)
        return nullptr;
    attributes = data.dwFileAttributes;
    return held;
}

// The attributes a copied file has in the end: the package file's without
// read-only and archive, which the end phase clears on every copied file.
DWORD FinalAttributes(DWORD attributes) {
    const DWORD kept =
        attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

// Gives a written file its last-write time and, in the same call where the
// system has it (from Windows Vista on), its final attributes: set after the
// last write, they stay (a write sets the archive attribute again). True
// when the attributes were set.
bool SetTimeAndFinalAttributes(HANDLE file, uint64_t lastWriteTime, DWORD attributes) {
    using SetInformation = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    static const SetInformation setInformation =
        ProcAddress<SetInformation>(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle");
    if (setInformation) {
        FILE_BASIC_INFO basic{};  // zero times are left as they are
        basic.LastWriteTime.QuadPart = static_cast<LONGLONG>(lastWriteTime);
        basic.FileAttributes = attributes;
        if (setInformation(file, FileBasicInfo, &basic, sizeof basic)) return true;
    }
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(lastWriteTime);
    time.dwHighDateTime = static_cast<DWORD>(lastWriteTime >> 32);
    SetFileTime(file, nullptr, nullptr, &time);  // as a copy, which does not fail on it either
    return false;
}

// Writes held bytes into a file of a name that must not exist yet, with the
// package file's last-write time and its attributes as they end up after the
// end phase (finalAttributes set when they could be given). A file this call
// created and could not fill goes again: nothing partial stays. 0, or the
// system's error (ERROR_FILE_EXISTS: the name is taken).
DWORD WriteNewFile(const std::string& path, const HeldContent& held, DWORD attributes, bool& finalAttributes) {
    finalAttributes = false;
    const DWORD final = FinalAttributes(attributes);
    uint32_t error = 0;
    UniqueFile file = OpenFileAt(path, GENERIC_WRITE, 0, CREATE_NEW, final, error);
    if (!file) return error;
    // A write may take fewer bytes than asked (the last ones on a volume
    // that fills up): the next one tells why.
    for (size_t done = 0; done < held.bytes.size();) {
        const DWORD part = static_cast<DWORD>(std::min<size_t>(held.bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), held.bytes.data() + done, part, &written, nullptr) || written == 0) {
            error = GetLastError();
            file.reset();
            RemoveFile(path);
            return error ? error : ERROR_WRITE_FAULT;
        }
        done += written;
    }
    finalAttributes = SetTimeAndFinalAttributes(file.get(), held.lastWriteTime, final);
    return 0;
}

// Copies the source into a new file of its own in the folder. 0 with its
// path; on failure nothing of the copy is left.
DWORD CopyToTemporary(const PackageSource& source, const std::string& folder, std::string& temporary) {
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 64; ++attempt) {
        temporary = folder + TemporaryName(attempt);
        error = source.held ? WriteNewFile(temporary, *source.held, source.attributes, source.finalAttributes)
                            : CopyFileAt(source.path, temporary, true);
        if (!IsNameTaken(error)) break;
    }
    // The name was ours unless it already existed.
    if (error != 0 && !IsNameTaken(error) && !source.held) RemoveFile(temporary);
    return error;
}

// Whether the copy made in the target's place fits: the free space and the
// room of the old file hold the new one.
bool FitsInPlace(const std::string& source, const std::string& target) {
    uint64_t newSize = 0, oldSize = 0, free = 0;
    return FileSizeAt(source, newSize) == 0 && FileSizeAt(target, oldSize) == 0 &&
           FreeSpaceAt(FolderPart(target), free) == 0 && free + oldSize >= newSize;
}

// Replaces an existing target: the source is copied into a temporary file
// beside it, which then takes the target's place, so that a copy failing
// part-way leaves the target as it was. A target in use gets the temporary
// file in its place at the next reboot (scheduled set; the error that tells
// the use is returned). Where no temporary file can be made (a
// folder that takes no new files, no room for both files), the source is
// copied over the target in place. 0 on success; attributesCopied is set when
// the system's copy made the target (the package file's attributes, read-only
// among them, came with it).
DWORD ReplaceTarget(const PackageSource& package, const std::string& target, int32_t& scheduled,
                    bool& attributesCopied) {
    const std::string& source = package.path;
    std::string temporary;
    DWORD error = CopyToTemporary(package, FolderPart(target), temporary);
    if (error != 0) {
        attributesCopied = true;
        if (IsDiskFull(error)) return FitsInPlace(source, target) ? CopyFileAt(source, target, false) : error;
        return IsWriteFailure(error) ? error : CopyFileAt(source, target, false);
    }
    // A read-only target is replaced like any other; it keeps the attribute
    // when it stays.
    DWORD attributes = 0;
    const bool readOnly = GetPathAttributes(target, attributes) == 0 && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) ClearAttributes(target, FILE_ATTRIBUTE_READONLY);
    error = MoveFileAt(temporary, target, MOVEFILE_REPLACE_EXISTING);
    if (error == 0) return 0;
    if (const DWORD inUse = InUseError(target, error); inUse && g_rebootReplacement(temporary, target)) {
        scheduled = 1;  // the temporary file is the new file until the reboot
        return inUse;
    }
    RemoveFile(temporary);
    attributesCopied = true;
    const DWORD plain = CopyFileAt(source, target, false);
    if (plain != 0 && readOnly) SetPathAttributes(target, attributes);
    return plain;
}

// Copies the source to a target name that must not exist yet. The copy
// refuses to overwrite, so an existing target gives ERROR_FILE_EXISTS and is
// left to the replacing way; a copy that fails part-way removes the partial
// file, which only it can have created. 0 on success.
DWORD CopyToNewTarget(const PackageSource& source, const std::string& target) {
    if (source.held) return WriteNewFile(target, *source.held, source.attributes, source.finalAttributes);
    const DWORD error = CopyFileAt(source.path, target, true);
    if (IsWriteFailure(error)) RemoveFile(target);
    return error;
}


// Sets the end of the file at `size`.
// Why a file is still there after the system reported its deletion done
// (DeleteFileAt's ERROR_FILE_EXISTS, a code no call gave): the system's
// answer to opening it for writing (a read-only volume under Wine: access
// denied), or ERROR_FILE_EXISTS when even that is allowed.
uint32_t WhyFileStays(const std::string& path) {
    uint32_t error = 0;
    const UniqueFile file = OpenFileAt(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, error);
    return file || error == 0 ? static_cast<uint32_t>(ERROR_FILE_EXISTS) : error;
}

void CutFile(HANDLE file, DWORD size) {
    if (SetFilePointer(file, static_cast<LONG>(size), nullptr, FILE_BEGIN) !=
        INVALID_SET_FILE_POINTER)
        SetEndOfFile(file);
}

}  // namespace

bool MakeTargetFolder(const std::string& targetPath) {
    const std::string folder = FolderPart(targetPath);
    if (folder.empty()) return false;
    const std::string withoutSlash = folder.substr(0, folder.size() - 1);
    if (PathExists(withoutSlash)) return false;
    return CreateFolderIfMissing(withoutSlash) == 0;
}

// Deletes one file of [DeleteFilesEnd]: 0, or why not (DeletionRefusal's
// code, kErrorNotAFile for a folder, the deletion's error).
uint32_t DeleteEndFile(const std::string& path) {
    if (const uint32_t refused = DeletionRefusal(path)) return refused;
    DWORD attributes = 0;
    if (GetPathAttributes(path, attributes) == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return kErrorNotAFile;
    const uint32_t error = DeleteFileAt(path);
    return error == ERROR_FILE_EXISTS ? WhyFileStays(path) : error;
}


RebootReplacementFunction SetRebootReplacementFunction(RebootReplacementFunction function) {
    return g_rebootReplacement.Replace(std::move(function));
}

RebootDeletionFunction SetRebootDeletionFunction(RebootDeletionFunction function) {
    return g_rebootDeletion.Replace(std::move(function));
}

uint32_t CopyPackageFile(const std::string& source, const std::string& target, int32_t& scheduled,
                         const HeldContent* held, CopyDetails* details) {
    if (details) details->finished = details->folderMade = false;
    if (source.empty()) return 0;
    // A path the policy refuses is never handed to a file call.
    if (const uint32_t refused = CheckPath(source)) return refused;
    if (const uint32_t refused = CheckPath(target)) return refused;
    PackageSource package{source};
    if (held && details && details->heldJustRead) {
        package.held = held;  // read by this copy's caller a moment ago
        package.attributes = held->attributes;
    } else {
        package.held = StillCurrent(source, held, package.attributes);
    }
    // The copy goes straight to the target's name when that is free (the
    // usual case of a first install; a missing folder level is created
    // first); an existing target is replaced through a temporary file.
    bool folderMade = false;
    bool attributesCopied = !package.held;
    DWORD error = CopyToNewTarget(package, target);
    if (error == ERROR_PATH_NOT_FOUND) {
        folderMade = MakeTargetFolder(target);
        error = CopyToNewTarget(package, target);
    }
    if (details && details->newTargetOnly) {
        if (IsNameTaken(error)) error = ERROR_FILE_EXISTS;
        // Nothing that was there is changed: on failure the folder made for
        // the copy goes again.
        details->folderMade = folderMade && error == 0;
        if (error != 0 && folderMade) {
            const std::string folder = FolderPart(target);
            RemoveFolder(folder.substr(0, folder.size() - 1));
        }
        if (error == 0) {
            if (attributesCopied) ClearAttributes(target, FILE_ATTRIBUTE_READONLY);
            details->finished = !attributesCopied && package.finalAttributes;
        }
        return error;
    }
    if (IsNameTaken(error)) error = ReplaceTarget(package, target, scheduled, attributesCopied);
    if (error == 0) {
        // Held bytes were written without the read-only attribute.
        if (attributesCopied) ClearAttributes(target, FILE_ATTRIBUTE_READONLY);
        if (details) details->finished = !attributesCopied && package.finalAttributes;
        return 0;
    }
    // A folder made for a copy that found no room is not left behind empty.
    if (folderMade && IsDiskFull(error)) {
        const std::string folder = FolderPart(target);
        RemoveFolder(folder.substr(0, folder.size() - 1));
    }
    return error;
}

int ReplaceAtReboot(const std::string& temporary, const std::string& target) {
    if (MoveFileAt(temporary, target, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) == 0) return 1;
    // Only the 9x family reads WinInit.Ini; on the NT family the system's
    // list is the only way.
    if (RunsOnNtFamily()) return 0;
    const std::string ini = WinInitPath();
    return ini.empty() ? 0 : AddRenameEntry(ini, RenameLine(ShortPathOf(target), ShortPathOf(temporary)));
}

uint32_t DeletionRefusal(const std::string& path) {
    if (const uint32_t refused = CheckPath(path)) return refused;
    return LastPathPart(path).empty() ? kErrorNotAFile : 0;
}

uint32_t RemoveInstalledFile(const std::string& path, int32_t& rebootRequired) {
    if (const uint32_t refused = DeletionRefusal(path)) return refused;
    DWORD attributes = 0;
    const bool found = GetPathAttributes(path, attributes) == 0;
    // A folder is never deleted, nor scheduled for deletion, as a file.
    if (found && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return kErrorNotAFile;
    // A read-only file could be deleted neither now nor by the reboot: the
    // attribute goes first, and comes back when the file stays.
    const bool readOnly = found && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) ClearAttributes(path, FILE_ATTRIBUTE_READONLY);
    const uint32_t error = DeleteFileAt(path);
    if (error == 0) return 0;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return error;
    // Reported as deleted while still there, or a deletion that could not
    // even be scheduled, is a failure with its own error: the file stays, and
    // no reboot would remove it.
    if (error == ERROR_FILE_EXISTS || !g_rebootDeletion(path)) {
        if (readOnly) SetPathAttributes(path, attributes);
        return error == ERROR_FILE_EXISTS ? WhyFileStays(path) : error;
    }
    rebootRequired = 1;
    return 0;
}

std::string WinInitPath() {
    const std::string windows = WindowsDirectory();
    return windows.empty() ? std::string() : windows + "\\WinInit.Ini";
}

int AddRenameDeletion(const std::string& iniPath, const std::string& path) {
    return AddRenameEntry(iniPath, RenameDeleteLine(path));
}

int AddRenameEntry(const std::string& iniPath, const std::string& line) {
    uint32_t openError = 0;
    UniqueFile file = OpenFileAt(iniPath, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS,
                                 FILE_FLAG_SEQUENTIAL_SCAN, openError);
    if (!file) return 0;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD size = GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
    const size_t lineLength = line.size();
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
    const std::string edited = InsertRenameEntry(std::string(text, size), line);
    std::memcpy(text, edited.data(), edited.size());
    view.reset();
    mapping.reset();
    CutFile(file.get(), static_cast<DWORD>(edited.size()));
    return 1;
}

int DeleteAtReboot(const std::string& path) {
    if (CheckPath(path) != 0) return 0;
    if (MoveFileAt(path, std::string(), MOVEFILE_DELAY_UNTIL_REBOOT) == 0) return 1;
    const std::string ini = WinInitPath();
    if (ini.empty()) return 0;
    return AddRenameDeletion(ini, path);
}

void RemoveMadeFile(const std::string& path) { RemoveFile(path); }

void ClearReadOnlyAndArchive(const std::string& path) {
    ClearAttributes(path, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
}

std::string DeletionErrorText(uint32_t errorCode, const std::string& path) {
    if (errorCode == kErrorInvalidName && NamesDevice(path)) return FormatLogMessage(0, kMsgDeviceNameRefused, path);
    if (errorCode == kErrorNotAFile) return FormatLogMessage(0, kMsgNotAFile, path);
    return FormatLogMessage(errorCode, kMsgErrorDeletingFile, path);
}

}  // namespace dp
