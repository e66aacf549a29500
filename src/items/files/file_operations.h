#pragma once
// Operations on single files for the install and end phases.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/log_level.h"
#include "items/files/file_list.h"
#include "items/work/step_context.h"

namespace dp {

// The code of a deletion refused because its path names a folder, or no file
// at all (an empty last part): ERROR_DIRECTORY_NOT_SUPPORTED.
constexpr uint32_t kErrorNotAFile = 336;

// ---- Windows only ----------------------------------------------------------

// Copies a package file onto its target (replacing a file in use at the next
// reboot). Returns the system error code of the copy: 0 copied (or an empty
// source), 112 disk full, 123 or 206 for a path the path policy refuses (no
// file call is made then), anything else a failure. Sets scheduled to 1 when
// the replacement waits for the next reboot (the code then tells why the
// target could not be replaced now, usually 32); what to log or show about that is the caller's.
// With held bytes of the package file (the item's heldSource) that still
// stand for it (same size and last-write time), these are written instead of
// opening the file again; the result is the same file.
// With details: heldJustRead says that the held bytes were read from the
// package file by the caller just before (they are not checked again);
// newTargetOnly copies only to a target that does not exist (creating its
// missing last folder level), leaving anything that exists as it is and,
// when the copy fails, removing the folder it made (ERROR_FILE_EXISTS for an
// existing target, whatever the system answered: a transactional run keeps
// it first). finished tells that the copy made the target with its final
// attributes (read-only and archive clear, after its last write):
// nothing is left for the end phase to clear; folderMade that it created the
// target's folder.
struct CopyDetails {
    bool heldJustRead = false;
    bool newTargetOnly = false;
    bool finished = false;
    bool folderMade = false;
};
uint32_t CopyPackageFile(const std::string& source, const std::string& target, int32_t& scheduled,
                         const HeldContent* held = nullptr, CopyDetails* details = nullptr);
// Why a path cannot be deleted, before anything is asked of the file: the
// path policy's code, kErrorNotAFile for a path with an empty last part, or 0.
uint32_t DeletionRefusal(const std::string& path);
// Deletes an installed file (a COM server among them was unregistered before,
// by UnregisterDeletedComServers; a read-only file loses the attribute first). 0 deleted or scheduled for the reboot
// (rebootRequired set); 2 / 3; DeletionRefusal's code; kErrorNotAFile for a
// folder; or the deletion's error when it failed and was not scheduled.
uint32_t RemoveInstalledFile(const std::string& path, int32_t& rebootRequired);
// The line of a deletion that failed: message 190 for a reserved device name
// refused (code 123), 191 for a path that names no file (kErrorNotAFile),
// otherwise message 170 with the path and the system's text for the code.
std::string DeletionErrorText(uint32_t errorCode, const std::string& path);
// Deletes one file of [DeleteFilesEnd]: 0, or why not (DeletionRefusal's
// code, kErrorNotAFile for a folder, the deletion's error; a file a deletion
// reported as done that stays gets the system's answer to opening it).
uint32_t DeleteEndFile(const std::string& path);
// Schedules the deletion of a file at the next reboot. 1 scheduled, 0 not.
int DeleteAtReboot(const std::string& path);
// Creates the last missing level of a target's folder (its parent must
// exist); true when this call created it.
bool MakeTargetFolder(const std::string& targetPath);
// Deletes a file this run made (whatever its attributes), when it can.
void RemoveMadeFile(const std::string& path);
// Clears the read-only and archive attributes, keeping the others.
void ClearReadOnlyAndArchive(const std::string& path);

}  // namespace dp
