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
    // With the rule FactsUnreadable: the file whose facts could not be read
    // and the system's code of the failed step.
    uint32_t factsError = 0;
    std::string unreadablePath;
    std::string targetPath;
    std::string sourcePath;
    std::string targetName;
    std::string sourceName;
    std::string targetVersionText;
    std::string sourceVersionText;
    std::string targetDetails;
    std::string sourceDetails;
    // The facts those texts were made from (factsOk 0 when none were read).
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
