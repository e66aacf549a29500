// The work items of the file sections: the deletions of [DelFilesFirst], the
// copies of [InstallFiles], and the deletions of [DeleteFilesEnd].
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "base/fault_guard_win32.h"
#include "base/file_system_win32.h"
#include "base/install_progress.h"
#include "base/log_text.h"
#include "base/parallel.h"
#include "base/path_policy.h"
#include "base/seam.h"
#include "base/system_text.h"
#include "base/text.h"
#include "items/files/file_facts.h"
#include "items/files/file_items.h"
#include "items/files/file_texts.h"
#include "items/files/file_operations.h"
#include "items/files/result_line.h"
#include "items/files/update_rule.h"
#include "items/rollback/journal_win32.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorInvalidName = 123;
// The file or folder is corrupted and unreadable.
constexpr uint32_t kErrorFileCorrupt = 1392;
// No record of the journal notes a file as new.
constexpr size_t kNotNoted = static_cast<size_t>(-1);

Seam<uint32_t(const std::string&, const std::string&, int32_t&, const HeldContent*, CopyDetails*)> g_copy(
    &CopyPackageFile);
Seam<bool(const std::string&, FileFacts&, std::string&, uint32_t&, std::shared_ptr<const HeldContent>*)> g_readFacts(
    static_cast<bool (*)(const std::string&, FileFacts&, std::string&, uint32_t&, std::shared_ptr<const HeldContent>*)>(
        &ReadShownFacts));

void ShowPaths(StepContext& c, const FileItem& it) {
    if (c.progress) c.progress->ShowPaths(it.sourcePath, it.targetPath);
}

bool PathPresent(const std::string& path) {
    DWORD attributes = 0;
    return GetPathAttributes(path, attributes) == 0;
}

// "1234 bytes, 2024-06-01T12:00:00Z": a file's size and last-write time.
std::string SizeAndTime(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    const uint64_t size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    const uint64_t time = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return std::to_string(size) + " bytes, " + FormatIsoFileTime(time);
}

bool InUse(const Status& status) {
    return status.code() == ERROR_SHARING_VIOLATION || status.code() == ERROR_ACCESS_DENIED ||
           status.code() == ERROR_LOCK_VIOLATION;
}

// A transactional run deletes a file by moving it aside. A file in use that
// cannot be moved is deleted at the reboot as in any run, with a copy kept
// for the rollback. 0 when it was moved (deleted), else what the caller does:
// kTryDeletion, or the system's error.
constexpr uint32_t kTryDeletion = 0xffffffffu;
uint32_t DeleteThroughJournal(Journal& journal, const std::string& path) {
    const Status moved = journal.MoveAside(path, false);
    if (moved.ok()) return 0;
    if (moved.notFound()) return moved.code();
    if (!InUse(moved)) return moved.code();
    const Status kept = journal.KeepCopyForReboot(path);
    return kept.ok() ? kTryDeletion : kept.code();
}

// Before a copy in a transactional run: the file it replaces moved aside (a
// file in use kept as a copy, for the replacement at the reboot), or, for a
// target the reading found missing, the new file noted (the copy then never
// replaces a file that came meanwhile: it says so and this is done first).
// 0, or why the copy must not go on.
// `noted` receives the number of a new file's record; `saved`, where given,
// is the place the journal recorded already for the file (on the disk).
Status PrepareCopy(Journal& journal, const std::string& target, bool knownMissing, size_t* noted,
                   const std::string* saved = nullptr) {
    if (knownMissing) return journal.NoteNewFile(target, noted);
    const Status moved = saved ? journal.MoveNotedAside(target, *saved) : journal.MoveAside(target, false);
    if (moved.notFound()) return journal.NoteNewFile(target, noted);
    if (moved.ok() || !InUse(moved)) return moved;
    return journal.KeepCopyForReboot(target);
}

// An item to install left unmarked because the facts of its files could not
// be read.
bool Unreadable(const FileItem& it) {
    return !it.selected && it.sourceExists && static_cast<UpdateRule>(it.updateRule) == UpdateRule::FactsUnreadable;
}

// The system's text for a code, on one line ("code N" when it has none).
std::string ErrorWords(uint32_t code) {
    const std::string text = SystemErrorText(code);
    const std::string_view words = TrimView(text, " \r\n");
    return words.empty() ? "code " + std::to_string(code) : std::string(words);
}

// Why the rules refuse a deletion before any call, for the plan.
std::string RefusalReason(uint32_t code) {
    if (code == kErrorNotAFile) return "the path names no file";
    return code == kErrorInvalidName ? "reserved device name" : "path too long or not valid";
}

// A marked delete item of the file list (the COM servers among them were
// unregistered by the items before). The bar does not move here.
class DeleteFileItem : public WorkItem {
public:
    DeleteFileItem(FileList& files, size_t index) : files_(files), index_(index) {
        refusal_ = DeletionRefusal(files_.items[index_].targetPath);
    }

    PlanRow Describe() const override {
        const FileItem& it = files_.items[index_];
        if (refusal_ != 0) return FileItemRow("delete", it, "refused: " + RefusalReason(refusal_));
        return FileItemRow("delete", it, it.targetExists ? "listed" : "target missing");
    }

    ItemResult Do(StepContext& c) override {
        const FileItem& it = files_.items[index_];
        ShowPaths(c, it);
        // A path that names no file, or one the path policy refuses, is
        // reported whether or not something was found under it.
        if (refusal_ != 0) return ItemResult::Refused(DeletionErrorText(refusal_, it.targetPath));
        std::string line = c.logging() ? FormatResultLine(files_, c.level, static_cast<int>(index_)) : std::string();
        int32_t scheduled = 0;
        uint32_t result = it.targetExists ? kTryDeletion : kErrorFileNotFound;
        if (result == kTryDeletion && c.journal) result = DeleteThroughJournal(*c.journal, it.targetPath);
        if (result == kTryDeletion) result = RemoveInstalledFile(it.targetPath, scheduled);
        if (scheduled) c.rebootRequired = 1;
        if (result == 0) {
            if (c.logging()) WriteLogText(c.log, line + "\n");
            return scheduled ? ItemResult::Scheduled() : ItemResult::Done();
        }
        const std::string text = DeletionErrorText(result, it.targetPath);
        // A file already gone is not a failure: there is nothing to do.
        if (result == kErrorFileNotFound || result == kErrorPathNotFound) {
            if (c.logging()) WriteLogText(c.log, text);
            return ItemResult::UpToDate();
        }
        return ItemResult::Failed(result, text, Report::kLog);
    }

    Check Verify() const override {
        if (refusal_ != 0) return Check::NotChecked("refused: " + RefusalReason(refusal_));
        return Check::Absent(PathPresent(files_.items[index_].targetPath));
    }

private:
    FileList& files_;
    size_t index_;
    uint32_t refusal_ = 0;
};

// Reads the package file's facts that an item left to its copy, with its
// bytes when small (one opening of the file for both). details tells the
// copy whether these bytes can be taken as they are. As in the reading, the
// facts are read aside under a guard: a fault in a damaged file's version
// resource abandons what it was filling: false, the file is not to be
// installed (as the reading would have failed on it), and a later call reads
// it again.
bool ReadFactsLeftToTheCopy(FileItem& it, std::shared_ptr<const HeldContent>& held, CopyDetails& details) {
    if (!it.sourceFactsAtCopy) return true;
    struct Read {
        FileFacts facts;
        std::string version;
        std::shared_ptr<const HeldContent> whole;
        uint32_t error = 0;
        bool read = false;
    };
    auto aside = std::make_unique<Read>();
    int done = 0;
    const GuardOutcome outcome = RunGuarded(
        [&] {
            aside->read = g_readFacts(it.sourcePath, aside->facts, aside->version, aside->error, &aside->whole);
            return 1;
        },
        done);
    if (outcome != GuardOutcome::kCompleted) {
        if (outcome == GuardOutcome::kProcessorFault) (void)aside.release();
        ShowSourceFacts(it, FileFacts{}, std::string(), false);
        return false;
    }
    it.sourceFactsAtCopy = 0;
    ShowSourceFacts(it, aside->facts, std::move(aside->version), aside->read);
    held = std::move(aside->whole);
    // Without the package file's attributes the copy looks at them.
    details.heldJustRead = held != nullptr && held->attributes != 0;
    return true;
}

// A path as the file system compares names, for telling whether two items
// may name the same file; empty for a path whose name may not be the only
// one of its file: a path the policy refuses, one that may hold a short
// (8.3) name, a relative part or forward slashes, a share or device path, or
// a system folder that redirection maps onto another.
std::wstring SameFileKey(const std::string& path) {
    if (path.find_first_of("~/") != std::string::npos || path.rfind("\\\\", 0) == 0) return {};
    for (size_t dot = path.find("\\."); dot != std::string::npos; dot = path.find("\\.", dot + 1))
        if (dot + 2 == path.size() || path[dot + 2] == '\\' || path[dot + 2] == '.') return {};
    SystemPath system = MakeSystemPath(path);
    if (system.error || system.w.empty()) return {};
    CharUpperBuffW(system.w.data(), static_cast<DWORD>(system.w.size()));
    for (const wchar_t* redirected : {L"\\SYSTEM32\\", L"\\SYSWOW64\\", L"\\SYSNATIVE\\"})
        if (system.w.find(redirected) != std::wstring::npos) return {};
    return std::move(system.w);
}

// The copies of a run's copy step that go to targets missing at the reading,
// made several at a time ahead of their turn where nothing can come between
// the items (StepContext::workAhead). Each item still tells its copy in its
// turn, with the same line. Only new files are made ahead (nothing that
// exists is touched), and only for items whose files no other item of the
// stretch names; a copy that fails ahead is made again in its turn, as
// always. Files made ahead for items that never had their turn (the phase
// ended early) are deleted again, with the folders made for them.
// In a transactional run the journal records each new file (and the folder
// made for it) in the order of the turns before anything is made, as each
// copy would record it in its turn: a stretch is then the items up to the
// first one that cannot go ahead, and a phase that ends early is rolled back
// from the journal.
class CopyAhead {
public:
    explicit CopyAhead(FileList& files) : files_(files) {}
    CopyAhead(const CopyAhead&) = delete;
    CopyAhead& operator=(const CopyAhead&) = delete;
    ~CopyAhead() { TakeBack(); }

    // The copy item at this position of the step copies this item.
    size_t Add(size_t index) {
        order_.push_back(index);
        made_.push_back(0);
        finished_.push_back(0);
        noted_.push_back(kNotNoted);
        return order_.size() - 1;
    }

    // In the turn of the item at `position`: the copies of the stretch from
    // here are made, unless made already.
    void Prepare(size_t position, Journal* journal) {
        if (stopped_ || position < preparedEnd_) return;
        const size_t end = std::min(order_.size(), position + kStretch);
        size_t cut = end;
        std::vector<size_t> chosen = Choose(position, end, journal != nullptr, cut);
        preparedEnd_ = std::min(end, cut + 1);
        if (journal) {
            // Each target was missing at the reading: it is noted as new (a
            // copy ahead never replaces a file that came meanwhile; its turn
            // withdraws the note and keeps that file first).
            size_t noted = 0;
            std::string folderMade;
            for (; noted < chosen.size(); ++noted) {
                const size_t at = chosen[noted];
                const std::string& target = files_.items[order_[at]].targetPath;
                if (!journal->NoteNewFile(target, &noted_[at]).ok()) {
                    noted_[at] = kNotNoted;
                    break;
                }
                // Made now, as the copy in its turn would make it: the next
                // record finds it there (once for the items of one folder).
                const std::string folder = target.substr(0, target.find_last_of('\\') + 1);
                if (folder != folderMade) {
                    MakeTargetFolder(target);
                    folderMade = folder;
                }
            }
            chosen.resize(noted);
            preparedEnd_ = noted ? chosen.back() + 1 : position + 1;
        }
        std::mutex foldersLock;
        ParallelFor(chosen.size(), kFileCallThreads, [&](size_t k) {
            const size_t at = chosen[k];
            FileItem& it = files_.items[order_[at]];
            std::shared_ptr<const HeldContent> held = it.heldSource;
            CopyDetails details;
            if (!ReadFactsLeftToTheCopy(it, held, details)) return;  // its turn tells it
            details.newTargetOnly = true;
            int32_t scheduled = 0;
            if (g_copy(it.sourcePath, it.targetPath, scheduled, held.get(), &details) == 0) {
                made_[at] = 1;
                finished_[at] = details.finished ? 1 : 0;
                it.heldSource.reset();
                if (details.folderMade) {
                    const std::lock_guard<std::mutex> hold(foldersLock);
                    folders_.push_back(it.targetPath.substr(0, it.targetPath.find_last_of('\\')));
                }
            } else if (held) {
                it.heldSource = std::move(held);  // for the copy in its turn
            }
        });
        // A note of a file not made ahead is withdrawn at once: if the file
        // is there (put there by someone else) and the phase ends before its
        // turn, a rollback must not take it for this run's.
        if (journal)
            for (const size_t at : chosen)
                if (!made_[at] && noted_[at] != kNotNoted && journal->WithdrawNote(noted_[at]).ok())
                    noted_[at] = kNotNoted;
    }

    // Whether the copy of the item at `position` was made ahead (then it is
    // its turn's: nothing of it is taken back).
    bool Take(size_t position, CopyDetails& details) {
        if (position >= made_.size() || !made_[position]) return false;
        made_[position] = 0;
        details.finished = finished_[position] != 0;
        return true;
    }
    // Whether the journal recorded the copy of the item at `position` ahead.
    // Gives the room of the files made ahead for the items after `position`
    // back (a copy in its turn found the disk full): they are deleted, and
    // from now on every copy of the step waits for its turn. Whether there
    // were any.
    bool Release(size_t position) {
        stopped_ = true;
        bool released = false;
        for (size_t at = position + 1; at < made_.size(); ++at) {
            if (!made_[at]) continue;
            RemoveMadeFile(files_.items[order_[at]].targetPath);
            made_[at] = 0;
            released = true;
        }
        return released;
    }

    // The number of its record, or kNotNoted.
    size_t NotedAt(size_t position) const { return position < noted_.size() ? noted_[position] : kNotNoted; }

    // In a transactional run, where the file that the copy at `position`
    // replaces goes: the journal records it for the items of a stretch from
    // here whose targets were there at the reading, and hands all of those
    // records to the disk with one flush (not one each) before any file is
    // moved. A record whose file is never moved (its turn does not come, the
    // file went meanwhile) undoes nothing. Null: the copy records its own.
    const std::string* SavedPlace(size_t position, Journal& journal) {
        if (position < savedFirst_ || position >= savedFirst_ + saved_.size()) {
            saved_.clear();
            savedFirst_ = position;
            // Only for a target that no other item of the stretch names (the
            // records of one file stay in the order of the turns), up to the
            // first path whose names cannot be compared.
            size_t end = std::min(order_.size(), position + kStretch);
            std::vector<std::wstring> keys;
            std::map<std::wstring, int> named;
            for (size_t at = position; at < end; ++at) {
                std::wstring key = SameFileKey(files_.items[order_[at]].targetPath);
                if (key.empty()) {
                    end = at;
                    break;
                }
                ++named[key];
                keys.push_back(std::move(key));
            }
            for (size_t at = position; at < end; ++at) {
                const FileItem& it = files_.items[order_[at]];
                std::string place;
                if (it.selected && it.targetExists && named[keys[at - position]] == 1 &&
                    !journal.NoteMoveAside(it.targetPath, place).ok())
                    break;
                saved_.push_back(std::move(place));
            }
            if (!journal.Flush().ok()) saved_.clear();
            if (saved_.empty()) {
                // Nothing recorded ahead: this copy records its own.
                saved_.emplace_back();
                return nullptr;
            }
        }
        const std::string& place = saved_[position - savedFirst_];
        return place.empty() ? nullptr : &place;
    }

private:
    static constexpr size_t kStretch = 256;

    // The positions in [first, end) whose copies go ahead: marked items of a
    // target missing at the reading, whose package file is there, paths the
    // policy takes, and a target that no other item of the stretch names
    // (as its target or its package file) and a package file that no item of
    // the stretch has as its target. The stretch ends before the first item
    // with a path whose names cannot be compared (SameFileKey): that item and
    // those after it wait for their turns; `cut` is its position, else end.
    // With `unbroken`, only the items before the first one that does not go
    // ahead, looked at one by one.
    std::vector<size_t> Choose(size_t first, size_t end, bool unbroken, size_t& cut) const {
        cut = end;
        std::vector<size_t> chosen;
        const auto eligible = [&](const FileItem& it) {
            return it.selected && !it.targetExists && it.sourceExists && !Unreadable(it);
        };
        if (unbroken) {
            std::set<std::wstring> names, targets;  // of the items chosen so far
            for (size_t at = first; at < end; ++at) {
                const FileItem& it = files_.items[order_[at]];
                if (!eligible(it)) break;
                std::wstring target = SameFileKey(it.targetPath), source = SameFileKey(it.sourcePath);
                if (target.empty() || source.empty() || target == source || names.count(target) ||
                    targets.count(source))
                    break;
                names.insert(source);
                names.insert(target);
                targets.insert(std::move(target));
                chosen.push_back(at);
            }
            return chosen;
        }
        std::vector<std::wstring> targets, sources;
        std::map<std::wstring, int> named;  // how often a name stands in the stretch
        std::set<std::wstring> asTarget;
        for (size_t at = first; at < end; ++at) {
            const FileItem& it = files_.items[order_[at]];
            std::wstring target = SameFileKey(it.targetPath), source = SameFileKey(it.sourcePath);
            if (target.empty() || source.empty()) {
                cut = at;
                break;
            }
            ++named[target];
            ++named[source];
            asTarget.insert(target);
            targets.push_back(std::move(target));
            sources.push_back(std::move(source));
        }
        for (size_t i = 0; i < targets.size(); ++i) {
            // The package file may be named again as a package file, never
            // as a target.
            if (eligible(files_.items[order_[first + i]]) && named[targets[i]] == 1 && !asTarget.count(sources[i]))
                chosen.push_back(first + i);
        }
        return chosen;
    }

    // Deletes the files made ahead for items whose turn did not come, then
    // the folders made for them, as far as nothing else is in them now.
    void TakeBack() {
        for (size_t at = 0; at < made_.size(); ++at)
            if (made_[at]) RemoveMadeFile(files_.items[order_[at]].targetPath);
        for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) RemoveFolder(*folder);
    }

    FileList& files_;
    std::vector<size_t> order_;     // the file list's index of each copy item, in turn
    std::vector<uint8_t> made_;     // made ahead and not yet taken by its turn
    std::vector<uint8_t> finished_; // made with its final attributes
    std::vector<size_t> noted_;     // recorded in the journal ahead: the record's number
    std::vector<std::string> folders_;  // made ahead for a copy
    size_t preparedEnd_ = 0;
    bool stopped_ = false;  // a full disk: no more work ahead in this step
    std::vector<std::string> saved_;  // places recorded ahead, from savedFirst_ on
    size_t savedFirst_ = 0;
};

// An install item of the file list: copied when marked, else kept. Its result
// line is written here (and only here) after the copy. A full disk ends the
// phase.
class CopyFileItem : public WorkItem {
public:
    CopyFileItem(FileList& files, size_t index, size_t barFrom, size_t barTo, std::shared_ptr<CopyAhead> ahead)
        : files_(files), index_(index), barFrom_(barFrom), barTo_(barTo), ahead_(std::move(ahead)) {
        position_ = ahead_->Add(index_);
    }

    PlanRow Describe() const override {
        const FileItem& it = files_.items[index_];
        if (Unreadable(it))
            return FileItemRow("unreadable", it, "facts unreadable: " + UnreadablePath(it) + ": " + ErrorWords(it.factsError));
        const char* action = !it.sourceExists ? "missing source"
                             : !it.selected   ? "keep"
                             : it.targetExists ? "replace"
                                               : "install";
        return FileItemRow(action, it, RuleText(static_cast<UpdateRule>(it.updateRule)));
    }

    // Up to date by the update rule; a file installed in any case has the
    // package file's size and last-write time.
    Check Verify() const override {
        const FileItem& it = files_.items[index_];
        // Without the package file nothing says the installed file is current.
        if (!it.sourceExists) return Check::Differs("the package file to compare with", "missing");
        if (!it.targetExists) return Check::Differs("installed", "missing");
        if (it.always) {
            WIN32_FILE_ATTRIBUTE_DATA source{}, target{};
            if (PathDataAt(it.sourcePath, source) != 0) return Check::NotChecked("the package file cannot be read");
            if (PathDataAt(it.targetPath, target) != 0) return Check::Differs("installed", "cannot be read");
            const std::string want = SizeAndTime(source), have = SizeAndTime(target);
            return want == have ? Check::Matches() : Check::Differs(want, have);
        }
        if (!it.needsUpdate) return Check::Matches();
        const PlanRow row = FileItemRow("", it, "");
        return Check::Differs(row.sourceVersion + " (" + row.sourceSize + " bytes)",
                              row.targetVersion + " (" + row.targetSize + " bytes), " +
                                  RuleText(static_cast<UpdateRule>(it.updateRule)));
    }

    ItemResult Do(StepContext& c) override {
        ItemResult result = Copy(c);
        // The bar moves for this item and for the delete items around it
        // (which the copies pass over).
        if (c.progress && !result.endsPhase)
            for (size_t i = barFrom_; i <= barTo_; ++i)
                c.progress->SetPosition(ProgressPercent(static_cast<int64_t>(i), files_.count()));
        return result;
    }

private:
    ItemResult Copy(StepContext& c) {
        FileItem& it = files_.items[index_];
        // A file whose facts could not be read (held open by another program
        // without sharing, say) was not decided on: not installed, and told.
        if (Unreadable(it))
            return ItemResult::Failed(it.factsError, FormatLogMessage(it.factsError, kMsgFactsUnreadable, UnreadablePath(it)),
                                      Report::kLog);
        // Up to date, or left out by the user; a missing source is a file
        // this run could not install (the reading told it already).
        if (!it.selected) return it.sourceExists ? ItemResult::UpToDate() : ItemResult{Outcome::kFailed};
        ShowPaths(c, it);
        if (c.workAhead) ahead_->Prepare(position_, c.journal);
        CopyDetails details;
        const bool madeAhead = ahead_->Take(position_, details);
        // The package file's facts left to the copy are read now.
        std::shared_ptr<const HeldContent> held = it.heldSource;
        if (!ReadFactsLeftToTheCopy(it, held, details))
            return ItemResult::Failed(kErrorFileCorrupt, FormatLogMessage(kErrorFileCorrupt, kMsgFactsUnreadable, it.sourcePath),
                                      Report::kLog);
        // Composed before the copy: the line tells the files as they were
        // found when the script was read.
        std::string line = c.logging() ? FormatResultLine(files_, c.level, static_cast<int>(index_)) : std::string();
        const std::string* device = NamesDevice(it.sourcePath)   ? &it.sourcePath
                                    : NamesDevice(it.targetPath) ? &it.targetPath
                                                                 : nullptr;
        // Refused before any call: such a name would reach a device.
        if (device) return ItemResult::Refused(FormatLogMessage(0, kMsgDeviceNameRefused, *device));
        if (!it.sourceExists && CheckPath(it.sourcePath) == 0)
            return ItemResult::Failed(kErrorFileNotFound, MissingSourceText(it.sourcePath), Report::kLog);

        // A transactional run keeps what the copy replaces (recorded already
        // for a copy that went ahead). A target the reading found missing is
        // only noted as new.
        size_t notedAt = ahead_->NotedAt(position_);
        auto prepare = [&](bool knownMissing, const std::string* saved = nullptr) {
            const Status prepared = PrepareCopy(*c.journal, it.targetPath, knownMissing, &notedAt, saved);
            if (!prepared.ok() && c.logging()) WriteLogText(c.log, CopyResultText(line, prepared.code(), false));
            return prepared;
        };
        if (c.journal && notedAt == kNotNoted)
            if (const Status prepared =
                    prepare(!it.targetExists, it.targetExists ? ahead_->SavedPlace(position_, *c.journal) : nullptr);
                !prepared.ok())
                return ItemResult{Outcome::kFailed, prepared.code()};
        // A source the policy refused was never looked for: its copy fails
        // with the policy's code. The scheduling flag is the copy's own, so
        // that only this copy's scheduling counts.
        int32_t scheduled = 0;
        uint32_t code = 0;
        if (!madeAhead) {
            // What was only noted as new is never replaced unseen.
            details.newTargetOnly = c.journal && !it.targetExists;
            code = g_copy(it.sourcePath, it.targetPath, scheduled, held.get(), &details);
            // Files made ahead for later items may hold the room this one needs.
            if (code == kErrorDiskFull && ahead_->Release(position_))
                code = g_copy(it.sourcePath, it.targetPath, scheduled, held.get(), &details);
            if (details.newTargetOnly && code == ERROR_FILE_EXISTS) {
                // A target that came after the reading is not this run's:
                // the note of it as new is withdrawn, and it is kept before
                // it is replaced.
                if (notedAt != kNotNoted) {
                    if (const Status withdrawn = c.journal->WithdrawNote(notedAt); !withdrawn.ok()) {
                        if (c.logging()) WriteLogText(c.log, CopyResultText(line, withdrawn.code(), false));
                        return ItemResult{Outcome::kFailed, withdrawn.code()};
                    }
                }
                if (const Status prepared = prepare(false); !prepared.ok())
                    return ItemResult{Outcome::kFailed, prepared.code()};
                details.newTargetOnly = false;
                code = g_copy(it.sourcePath, it.targetPath, scheduled, held.get(), &details);
            }
        }
        // Held bytes are not needed any more.
        held.reset();
        it.heldSource.reset();
        it.finished = code == 0 && details.finished ? 1 : 0;
        if (scheduled) {
            c.rebootRequired = 1;
            const std::string note = InUseCopyText(it.sourcePath, it.targetPath, code);
            if (c.log)
                WriteLogText(c.log, note);
            else
                ShowMessageBox(note, LoadMessage(kMsgErrorCaption), kBoxIconInformation | kBoxNotAnError);
        }
        if (c.logging()) WriteLogText(c.log, CopyResultText(line, code, scheduled != 0));
        if (code == 0) return ItemResult::Done();
        if (scheduled) return ItemResult::Scheduled();
        ItemResult failed{Outcome::kFailed, code};
        if (code == kErrorDiskFull) {
            failed.report = Report::kBox;
            failed.boxText = ComposeError(0, FormatMessageWithPath(LoadMessage(kMsgDiskFull), it.sourcePath));
            failed.boxStyle = kBoxOk;
            failed.endsPhase = true;
        }
        return failed;
    }

    FileList& files_;
    size_t index_;
    size_t barFrom_, barTo_;  // the items the bar moves for
    std::shared_ptr<CopyAhead> ahead_;
    size_t position_ = 0;     // in the step's copies
};

// A file of [DeleteFilesEnd].
class DeleteEndFileItem : public WorkItem {
public:
    explicit DeleteEndFileItem(std::string path) : path_(std::move(path)) {}

    PlanRow Describe() const override { return PlanRow{"", "delete", path_}; }

    ItemResult Do(StepContext& c) override {
        // A path that names no file (a folder among them) or that the rules
        // refuse is told, and nothing is deleted.
        DWORD attributes = 0;
        uint32_t refused = DeletionRefusal(path_);
        if (!refused && GetPathAttributes(path_, attributes) == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            refused = kErrorNotAFile;
        if (refused) return ItemResult::Refused(DeletionErrorText(refused, path_));
        uint32_t error = c.journal ? DeleteThroughJournal(*c.journal, path_) : kTryDeletion;
        if (error == kTryDeletion) error = DeleteEndFile(path_);
        if (error == 0) {
            c.LogMessage(0, kMsgDeletingFile, path_);
            return ItemResult::Done();
        }
        const std::string text = DeletionErrorText(error, path_);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            if (c.logging()) WriteLogText(c.log, text);
            return ItemResult::UpToDate();  // already gone
        }
        return ItemResult::Failed(error, text, Report::kLog);
    }

    Check Verify() const override { return Check::Absent(PathPresent(path_)); }

private:
    std::string path_;
};

}  // namespace

CopyFunction SetCopyFunctionForTesting(CopyFunction copy) { return g_copy.Replace(std::move(copy)); }

FactsReader SetFactsReaderForTesting(FactsReader reader) { return g_readFacts.Replace(std::move(reader)); }

void AddFileDeletions(FileList& files, WorkItems& items) {
    for (size_t i = 0; i < files.items.size(); ++i)
        if (files.items[i].selected && files.items[i].deleteItem) items.push_back(std::make_unique<DeleteFileItem>(files, i));
}

void AddFileCopies(FileList& files, WorkItems& items) {
    const size_t count = files.items.size();
    const auto ahead = std::make_shared<CopyAhead>(files);
    size_t next = 0;  // the first item the bar has not moved for
    for (size_t i = 0; i < count; ++i) {
        if (files.items[i].deleteItem) continue;
        size_t last = i;
        while (last + 1 < count && files.items[last + 1].deleteItem) ++last;
        items.push_back(std::make_unique<CopyFileItem>(files, i, next, last, ahead));
        next = last + 1;
    }
}

void AddEndFileDeletions(const std::vector<std::string>& paths, WorkItems& items) {
    for (const std::string& path : paths) items.push_back(std::make_unique<DeleteEndFileItem>(path));
}

}  // namespace dp
