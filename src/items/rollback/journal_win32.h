#pragma once
// The journal of a transactional run: before a work item changes anything it
// records how to undo it here, flushed to disk first (write-ahead), and moves
// what it replaces or deletes aside into the journal's folder. A run that
// fails or is cancelled undoes every change in reverse order; a run that did
// not end leaves the journal for the next start to roll back.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/handles_win32.h"
#include "base/status.h"
#include "items/rollback/journal_text.h"
#include "items/work/work_item.h"

namespace dp {

// The journal folder: "Deployator\Rollback" in the program files folder for
// an administrator's runs (which other users cannot write), in the local
// application data folder for a user's own (one run at a time holds the
// machine).
std::string JournalFolder();
std::string JournalFilePath(const std::string& folder);

class Journal {
public:
    // Starts a journal in the folder (created), with its header and a BEGIN
    // record. Null with the system's error when it cannot be written.
    static std::unique_ptr<Journal> Begin(const std::string& folder, const std::string& commandLine,
                                          const std::string& logPath, Status& status);
    // Goes on with the journal of the run before the reboot.
    static std::unique_ptr<Journal> Continue(const std::string& folder, Status& status);
    // What is not flushed yet reaches the disk when the journal is closed.
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Appends a record; with `flush`, on disk before this returns (a record
    // of a change that destroys something is always flushed).
    Status Record(const JournalRecord& record, bool flush = true);
    Status Flush();

    // A file or a folder moved aside (recorded first): a rename into the
    // journal's folder for a file (a copy and a deletion only across
    // volumes), a rename beside itself for a folder. It is then gone from
    // its place: that is how a transactional run deletes.
    Status MoveAside(const std::string& path, bool folder);
    // The two halves of MoveAside for a file, so that the records of several
    // files can reach the disk with one flush before any of them is moved:
    // NoteMoveAside records where the file goes (not flushed; `saved`
    // receives the place), MoveNotedAside moves it there once the record is
    // on the disk. A record whose file is never moved undoes nothing.
    Status NoteMoveAside(const std::string& path, std::string& saved);
    Status MoveNotedAside(const std::string& path, const std::string& saved);
    // A copy of a file kept aside, for a file in use that the system replaces
    // or deletes at the next reboot (recorded as REBOOT-REPLACE).
    Status KeepCopyForReboot(const std::string& path);
    // A file this run creates, and the folders above it that it creates
    // (not flushed: nothing is lost if the record does not reach the disk).
    // `number` receives the number of the file's record.
    Status NoteNewFile(const std::string& path, size_t* number = nullptr);
    // Withdraws the note of a file as new (by its record's number), for a
    // file that turned out to be there, put there by someone else since the
    // note: the rollback leaves it alone (flushed at once).
    Status WithdrawNote(size_t number);
    Status NoteNewFolders(const std::string& folder);
    // A registry value's old state (type and data, or its absence), and the
    // keys of the path that do not exist yet.
    Status NoteValue(HKEY root, const std::string& keyPath, const std::string& subkey, const std::string& name,
                     REGSAM view);
    // Only the keys of the path that do not exist yet.
    Status NoteNewKeys(HKEY root, const std::string& subkey, REGSAM view);
    // A key tree about to be deleted, saved with its values and subkeys.
    Status SaveKeyTree(HKEY root, const std::string& keyPath, const std::string& subkey, REGSAM view);

private:
    Journal(UniqueFile file, std::string folder, size_t records, std::string runId);
    std::string SavedPath();
    // Hands what is held back to the system; after a failed write, that
    // failure for good.
    Status WritePending();

    UniqueFile file_;
    std::string folder_;
    size_t records_;  // records in the journal, the header left out
    std::string pending_;  // records not yet handed to the system
    std::string runId_;    // names the folder of what this run moved aside
    std::string lastFolder_;  // the folder whose new levels were noted last
    std::string savedBucket_;  // the folder of saved files made last
    Status failed_;            // the first write that failed
    static constexpr size_t kSavedPerFolder = 256;
    int unwritten_ = 0;       // records of new things not yet written
    static constexpr int kRecordsHeldBack = 32;
};

// What a rollback did, for the log and the summary.
struct RollbackReport {
    int undone = 0;
    int notUndone = 0;  // programs that ran, and changes that could not be undone
    bool journalUnreadable = false;
    bool keepSaved = false;  // something stays where it was kept (the log names the folder)
};

// Undoes every change of the journal in the folder not yet undone, latest
// first, writing a line for each to the log (when there is one), then
// removes the journal and its folder. A rollback that is itself killed is
// finished by the next one (each change undone is recorded).
RollbackReport RollBack(const std::string& folder, std::FILE* log);
// Removes the journal and what its run kept aside; after a run that
// succeeded also the folders it deleted (renamed beside themselves).
void DiscardJournal(const std::string& folder, bool succeeded = true);

// The result of an item whose undo could not be recorded: it is not carried
// out, and the log says why.
std::string JournalFailureText(uint32_t code);

enum class JournalState { kNone, kUnfinished, kWaitsForReboot, kUnreadable };
// What the journal in the folder says, and the log of its run (BEGIN).
JournalState ReadJournalState(const std::string& folder, std::string* logPath = nullptr);
// Sets an unreadable journal aside (nothing in it is deleted); the folder it went to.
std::string SetUnreadableJournalAside(const std::string& folder);

}  // namespace dp
