#pragma once
// The rollback journal as text: one record a line, written before the change
// it can undo. A record is a kind and its fields, separated by tabs; a tab, a
// line end or a backslash inside a field is escaped (\t, \n, \r, \\). The
// first line names the format and its version; a journal of another version
// is not read. Lines the reader cannot take (a record cut short by a crash,
// an unknown kind) end the journal there: what follows them is not trusted.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

inline constexpr char kJournalHeader[] = "DEPLOYATOR ROLLBACK JOURNAL 1";

// The kinds of records, and the fields each has.
namespace journal {
inline constexpr char kBegin[] = "BEGIN";              // command line, log path
inline constexpr char kFileNew[] = "FILE-NEW";         // path: a file this run creates
inline constexpr char kFileSaved[] = "FILE-SAVED";     // path, saved path: moved aside before it changed
inline constexpr char kFolderNew[] = "FOLDER-NEW";     // path: a folder this run creates
inline constexpr char kFolderSaved[] = "FOLDER-SAVED"; // path, saved path: a folder moved aside (deleted)
inline constexpr char kFolderGone[] = "FOLDER-GONE";   // path: an empty folder this run removes
inline constexpr char kRebootReplace[] = "REBOOT-REPLACE";  // target, saved copy ("" none): replaced at the reboot
inline constexpr char kValue[] = "VALUE";              // key path, name, view, present (0/1), type, data in hex
inline constexpr char kKeyNew[] = "KEY-NEW";           // key path, view: a key this run creates
inline constexpr char kKeyTree[] = "KEY-TREE";         // key path, view, saved file: a key tree deleted
inline constexpr char kSubstitute[] = "SUBSTITUTE";    // name, present (0/1), old value
inline constexpr char kFontAdded[] = "FONT-ADDED";     // font path, resource path ("" none)
inline constexpr char kFontRemoved[] = "FONT-REMOVED"; // font path, resource path ("" none)
inline constexpr char kServer[] = "SERVER";            // path, "registered" or "unregistered"
inline constexpr char kProgram[] = "PROGRAM";          // command: ran, cannot be undone
inline constexpr char kList[] = "LIST";                // name, present (0/1), paths (one field each)
inline constexpr char kRunOnce[] = "RUNONCE";          // present (0/1), old value
inline constexpr char kRebootWait[] = "REBOOT-WAIT";   // the run waits for the reboot to go on
inline constexpr char kRollback[] = "ROLLBACK";        // the rollback began
inline constexpr char kUndone[] = "UNDONE";            // number of a record undone
}  // namespace journal

struct JournalRecord {
    std::string kind;
    std::vector<std::string> fields;
    // The field, or "" when the record has fewer.
    const std::string& field(size_t i) const;
};

// One line, its line feed included.
std::string EncodeJournalRecord(const JournalRecord& record);

// What a journal file says.
struct JournalContents {
    bool recognised = false;        // the header line of this version
    std::vector<JournalRecord> records;  // up to the first line that cannot be taken
    bool cut = false;               // a line could not be taken: the rest was left out
};
JournalContents ParseJournal(std::string_view text);

// The records still to undo, latest first, as numbers into `records`:
// every change record not yet undone (UNDONE), after the last BEGIN.
std::vector<size_t> RecordsToUndo(const std::vector<JournalRecord>& records);
// Whether the run of the journal waits for the reboot (and was not rolled back).
bool WaitsForReboot(const std::vector<JournalRecord>& records);

// Bytes as lowercase hexadecimal, and back (false for an odd length or a
// character that is no digit).
std::string HexOf(std::string_view bytes);
bool BytesOfHex(std::string_view hex, std::string& bytes);

}  // namespace dp
