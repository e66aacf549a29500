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

const std::string& NoText() {
    static const std::string empty;
    return empty;
}
const std::string& TargetVersion(const FileItem& it) { return it.versions ? it.versions->target : NoText(); }
const std::string& SourceVersion(const FileItem& it) { return it.versions ? it.versions->source : NoText(); }

// Sets one of the two version texts; none are kept while both are empty.
void SetVersion(FileItem& it, std::string FileItem::VersionTexts::*which, std::string text) {
    if (text.empty() && !it.versions) return;
    auto texts = std::make_shared<FileItem::VersionTexts>(it.versions ? *it.versions : FileItem::VersionTexts{});
    (*texts).*which = std::move(text);
    if (texts->target.empty() && texts->source.empty())
        it.versions.reset();
    else
        it.versions = std::move(texts);
}

}  // namespace

std::string TargetVersionText(const FileItem& it) { return VersionText(it.targetShown, it.targetFacts, TargetVersion(it)); }
std::string TargetDetails(const FileItem& it) { return Details(it.targetShown, it.targetFacts); }
std::string SourceVersionText(const FileItem& it) { return VersionText(it.sourceShown, it.sourceFacts, SourceVersion(it)); }
std::string SourceDetails(const FileItem& it) { return Details(it.sourceShown, it.sourceFacts); }

std::string TargetName(const FileItem& it) { return FileNamePart(it.targetPath); }
std::string SourceName(const FileItem& it) {
    return it.deleteItem ? std::string(kNeedToBeDeletedText) : FileNamePart(it.sourcePath);
}

const std::string& UnreadablePath(const FileItem& it) { return it.unreadableTarget ? it.targetPath : it.sourcePath; }

void ShowTargetFacts(FileItem& it, const FileFacts& facts, std::string version, bool read) {
    it.targetFacts = facts;
    SetVersion(it, &FileItem::VersionTexts::target, read && facts.hasVersion ? std::move(version) : std::string());
    it.targetShown = static_cast<uint8_t>(read ? FileShown::kFacts : FileShown::kGetError);
}

void ShowSourceFacts(FileItem& it, const FileFacts& facts, std::string version, bool read) {
    it.sourceFacts = facts;
    SetVersion(it, &FileItem::VersionTexts::source, read && facts.hasVersion ? std::move(version) : std::string());
    it.sourceShown = static_cast<uint8_t>(read ? FileShown::kFacts : FileShown::kGetError);
}

}  // namespace dp
