#include "items/files/file_texts.h"

#include "base/system_text.h"
#include "items/files/update_rule.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

std::string VersionText(uint8_t shown, const FileFacts& facts, const std::string& version) {
    switch (static_cast<FileShown>(shown)) {
    case FileShown::kNothing: return {};
    case FileShown::kFacts: return facts.hasVersion ? version : FormatFileDate(facts.lastWriteTime);
    case FileShown::kGetError: return kGetErrorText;
    case FileShown::kNotFound: return kNotFoundText;
    case FileShown::kSourceMissing: return LoadMessage(kMsgNotFound);
    case FileShown::kBlank: return " ";
    }
    return {};
}

std::string Details(uint8_t shown, const FileFacts& facts) {
    switch (static_cast<FileShown>(shown)) {
    case FileShown::kFacts: return FormatFileDetails(FormatFileSize(facts.size), FormatFileDate(facts.lastWriteTime));
    case FileShown::kGetError: return kGetErrorText;
    case FileShown::kBlank: return " ";
    default: return {};
    }
}

}  // namespace

std::string TargetVersionText(const FileItem& it) { return VersionText(it.targetShown, it.targetFacts, it.targetVersion); }
std::string TargetDetails(const FileItem& it) { return Details(it.targetShown, it.targetFacts); }
std::string SourceVersionText(const FileItem& it) { return VersionText(it.sourceShown, it.sourceFacts, it.sourceVersion); }
std::string SourceDetails(const FileItem& it) { return Details(it.sourceShown, it.sourceFacts); }

std::string TargetName(const FileItem& it) { return FileNamePart(it.targetPath); }
std::string SourceName(const FileItem& it) {
    return it.deleteItem ? std::string(kNeedToBeDeletedText) : FileNamePart(it.sourcePath);
}

const std::string& UnreadablePath(const FileItem& it) { return it.unreadableTarget ? it.targetPath : it.sourcePath; }

void ShowTargetFacts(FileItem& it, const FileFacts& facts, std::string version, bool read) {
    it.targetFacts = facts;
    it.targetVersion = read && facts.hasVersion ? std::move(version) : std::string();
    it.targetShown = static_cast<uint8_t>(read ? FileShown::kFacts : FileShown::kGetError);
}

void ShowSourceFacts(FileItem& it, const FileFacts& facts, std::string version, bool read) {
    it.sourceFacts = facts;
    it.sourceVersion = read && facts.hasVersion ? std::move(version) : std::string();
    it.sourceShown = static_cast<uint8_t>(read ? FileShown::kFacts : FileShown::kGetError);
}

}  // namespace dp
