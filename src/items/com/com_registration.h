#pragma once
// COM servers of the file list, and what the install phase leaves for the end
// phase (possibly after a reboot) in the registry: the servers to register
// (ComReg), the installed files (CopyFileList) and the RunOnce start.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "items/work/work_item.h"

namespace dp {

class FileList;
struct FileItem;

// The program's key under HKEY_CURRENT_USER and its two lists.
constexpr char kProgramKeyPath[] = "SOFTWARE\\Velmora\\Deployator";
constexpr char kComRegList[] = "ComReg";
constexpr char kCopyFileList[] = "CopyFileList";
// Every stored path takes this many bytes (the path, its zero and zero
// filler); a longer path takes its own length and its zero.
constexpr size_t kStoredPathSize = 521;

// --- Decisions (portable) ------------------------------------------------------

// The servers to register: the marked install items that are COM servers,
// those of the system sections first, each group in list order.
std::vector<std::string> ComServersToRegister(const FileList& files);
// The same items themselves.
std::vector<const FileItem*> ComServerItemsToRegister(const FileList& files);
// The marked install items, in list order; with leaveFinished, without those
// whose copy left nothing to clear (FileItem::finished).
std::vector<std::string> FilesToFinish(const FileList& files, bool leaveFinished = false);
// The marked delete items that are COM servers and were found on disk (the
// ones the deletion removes), in list order.
std::vector<std::string> ComServersToUnregister(const FileList& files);

// A path as a list value stores it, and back: the text up to its first zero.
std::string StoredPathData(const std::string& path);
std::string PathFromStoredData(const std::string& data);
// The position a value name stands for: decimal digits only, below count.
bool ParseListIndex(const std::string& name, size_t count, size_t& index);

// The machine type in the header of an executable image (0x14c x86, 0x8664
// x86-64, 0xaa64 ARM64), from the first bytes of its file; 0 when the bytes
// are not such an image or its header lies beyond them.
uint16_t ImageMachine(const std::string& head);
bool IsSixtyFourBitMachine(uint16_t machine);

// "0x8007000E": a registration function's result as the reports show it.
std::string HresultText(uint32_t result);
// A report of a failed registration step: "message detail." with the
// system's text after a blank when there is one.
std::string ComposeComFailure(const std::string& message, const std::string& detail,
                              const std::string& systemText);

// --- Effects (Windows) ---------------------------------------------------------

// Registers (DllRegisterServer) or unregisters (DllUnregisterServer) one
// server. A 32-bit server is loaded into this process with its own folder
// searched for the libraries it needs; a 64-bit one on a 64-bit system goes
// through the system's 64-bit regsvr32. A failure goes to the log as a line
// when one is open, else into a box "Error". True when it succeeded.
bool RegisterComServer(std::FILE* log, const std::string& path);
bool UnregisterComServer(std::FILE* log, const std::string& path);
// Either, reporting nothing, with a bound on the wait for the server (a
// server that does not answer is left on its thread): for a rollback, which
// must end.
bool CallComServerWithin(const std::string& path, bool registering, uint32_t limitMs);

// A work item per COM server among the marked delete items that exist (the
// deletion that follows removes them): unregistered.
void AddComUnregistrations(const FileList& files, WorkItems& items);
// A work item per server to register (the files' servers, or after a reboot
// the list ComReg the run before saved), then the list is forgotten.
void AddComRegistrations(const FileList& files, bool fromSavedList, WorkItems& items);
// What the end phase needs, whether it runs now or after a reboot: ComReg and
// CopyFileList saved (bookkeeping, not counted).
void AddAfterRebootLists(WorkItems& items);
// The files of CopyFileList finished (bookkeeping, not counted).
void AddCopiedFilesFinish(WorkItems& items);
// Rewrite the ComReg and CopyFileList lists from step.files. 1, or 0 when a
// key cannot be opened.
int SaveComRegList(StepContext& step);
int SaveCopyFileList(StepContext& step);
// Clears the read-only and archive attributes of every file in CopyFileList
// (the list as this run saved it, when it saved it whole). 1, or 0 when the
// list's key cannot be queried.
int FinishCopiedFiles(StepContext& step);

}  // namespace dp
