#pragma once
// The items of all file sections, in one list: files to install and files to
// remove. An item's number is its position in the list.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/reporting_base.h"

namespace dp {

// The file sections: files to install, and files to remove.
inline constexpr char kInstallFilesSection[] = "[InstallFiles]";
inline constexpr char kAlwaysInstallFilesSection[] = "[AlwaysInstallFiles]";
inline constexpr char kInstallSystemFilesSection[] = "[InstallSystemFiles]";
inline constexpr char kInstallRegisterFilesSection[] = "[InstallRegisterFiles]";
inline constexpr char kAlwaysInstallRegisterFilesSection[] = "[AlwaysInstallRegisterFiles]";
inline constexpr char kInstallSystemRegisterFilesSection[] = "[InstallSystemRegisterFiles]";
inline constexpr char kInstallFontsSection[] = "[InstallFonts]";
inline constexpr char kAlwaysInstallFontsSection[] = "[AlwaysInstallFonts]";
inline constexpr char kDeleteFilesFirstSection[] = "[DeleteFilesFirst]";
inline constexpr char kDeleteRegisterFilesSection[] = "[DeleteRegisterFiles]";
inline constexpr char kDeleteFontsSection[] = "[DeleteFonts]";

class VariableTable;

// What was found out about one file when its line was read.
struct FileFacts {
    uint64_t lastWriteTime = 0;  // FILETIME as a 64-bit number (UTC)
    uint64_t size = 0;
    uint32_t versionMS = 0;
    uint32_t versionLS = 0;
    int32_t hasVersion = 0;
    int32_t factsOk = 0;
};

// The whole of a small package file as its facts were read, with its
// last-write time then: the copy writes these bytes instead of opening the
// file again, as long as the file still has this size and time.
struct HeldContent {
    std::string bytes;
    uint64_t lastWriteTime = 0;
    uint32_t attributes = 0;  // the file's attributes then
};

// What an item shows of one of its files (the module selection, the result
// lines, the plan): the texts are made from the facts when they are asked for.
enum class FileShown : uint8_t {
    kNothing,        // no texts: the file was not looked at (yet)
    kFacts,          // its version text (the date without a version resource) and "size; date"
    kGetError,       // its facts could not be read: "- get error -" for both
    kNotFound,       // an installed file that is not there: "- not found -" and no details
    kSourceMissing,  // a package file that is not there: the message "Not found" and no details
    kBlank,          // the package side of a delete item: " " for both
};

// One line of a file section. It keeps what the line needs: its two paths,
// the facts of its files and the text of a version resource where a file
// has one; names and shown texts are made from these (file_texts.h).
struct FileItem {
    int32_t rowKey = 0;
    uint8_t selected = 0;
    uint8_t system = 0;
    uint8_t deleteItem = 0;
    uint8_t font = 0;
    uint8_t targetExists = 0;
    uint8_t sourceExists = 0;
    uint8_t always = 0;
    uint8_t needsUpdate = 0;
    uint8_t registerFile = 0;
    uint8_t updateRule = 0;  // the UpdateRule that decided needsUpdate (install items)
    // The package file's facts and texts are read by the copy, from the one
    // opening that also reads its bytes (a run that shows no item, a target
    // missing: the decision does not need them). Until then the item knows
    // only that the package file exists.
    uint8_t sourceFactsAtCopy = 0;
    // The copy made the target itself, with its attributes final (read-only
    // and archive clear) after its last write: nothing is left for the end
    // phase to clear.
    uint8_t finished = 0;
    uint8_t targetShown = 0;  // FileShown
    uint8_t sourceShown = 0;
    // With the rule FactsUnreadable: whose facts could not be read (the
    // installed file's, else the package file's) and the system's code of
    // the failed step.
    uint8_t unreadableTarget = 0;
    uint32_t factsError = 0;
    std::string targetPath;
    std::string sourcePath;
    // The FileVersion texts of its files that have a version resource (none
    // when neither has one: most files).
    struct VersionTexts {
        std::string target, source;
    };
    std::shared_ptr<const VersionTexts> versions;
    // The facts the texts are made from (factsOk 0 when none were read).
    FileFacts targetFacts;
    FileFacts sourceFacts;
    // The package file's bytes, for an item to install in a quiet run (none
    // for a larger file, or beyond kHeldBytesLimit in all).
    std::shared_ptr<const HeldContent> heldSource;
};

class FileList : public ReportingBase {
public:
    ~FileList() override = default;

    int32_t count() const { return static_cast<int32_t>(items.size()); }

    // Reads one install section ([InstallFiles] and its family). 1 on success
    // or for an empty section; 0 for a malformed line, OK at the missing-source
    // prompt, or a confirmed Stop.
    int ParseInstallSection(const std::string& section, int always, int registerFile, int system,
                            int font, VariableTable& variables, const std::string& programDirectory);
    // Reads one delete section ([DeleteFilesFirst] and its family). Always 1.
    int ParseDeleteSection(const std::string& section, int registerFile, int font,
                           VariableTable& variables);

    std::vector<FileItem> items;
    // Whether the facts of every installed file are read. Without (a quiet
    // run, which shows no item), an installed file that the package file's
    // facts alone keep (KeptWhateverTargetFacts) is not opened: its item gets
    // the rule SameOrOlder and no version or details texts.
    bool readEveryTarget = true;
    // Whether items to install keep the bytes of a package file that was read
    // whole with its facts (heldSource), up to kHeldBytesLimit in all.
    bool holdSmallSources = false;
    // Whether the files of the next lines of an install section are read
    // ahead of their turn, several at a time (a reading that no window
    // paces: a quiet run or a plan).
    bool readAhead = false;
    // Whether the copy reads the package file's facts of an item whose target
    // is missing (sourceFactsAtCopy): a run that shows no item and writes no
    // plan.
    bool sourceFactsAtCopy = false;
    static constexpr size_t kHeldBytesLimit = size_t{32} << 20;
    size_t heldBytes = 0;
    // Set when this run has saved the list of files to finish (CopyFileList,
    // FilesToFinish of these items) whole.
    bool finishListSaved = false;
};

}  // namespace dp
