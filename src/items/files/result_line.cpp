#include "items/files/result_line.h"

#include "base/log_text.h"
#include "base/path_policy.h"
#include "base/system_text.h"
#include "items/files/file_operations.h"
#include "items/files/file_list.h"
#include "items/files/file_texts.h"
#include "items/files/update_rule.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

std::string Group(const std::string& version, const std::string& details) {
    std::string g;
    g.reserve(version.size() + details.size() + 4);
    g += '(';
    if (!version.empty()) {
        g += version;
        g += "; ";
    }
    g += details;
    g += ')';
    return g;
}

}  // namespace

std::string ResultReason(const FileItem& item) {
    if (item.always) return "";
    if (item.needsUpdate) return "[By rule]";
    return "[By user checked]";
}

std::string SourceGroup(const FileItem& item) { return Group(SourceVersionText(item), SourceDetails(item)); }

std::string TargetGroup(const FileItem& item) { return Group(TargetVersionText(item), TargetDetails(item)); }

std::string FormatResultLine(const FileList& list, LogLevel logLevel, int item) {
    if (logLevel == LogLevel::None || item < 0 || item >= list.count()) return "";
    const FileItem& it = list.items[static_cast<size_t>(item)];

    if (logLevel == LogLevel::Full && it.deleteItem) return it.targetPath + " " + TargetGroup(it) + " is deleted";

    if (logLevel == LogLevel::Short) return "Updated " + it.targetPath + " " + SourceGroup(it) + " " + ResultReason(it);

    if (it.targetExists) {
        return it.targetPath + " " + TargetGroup(it) + " is replaced by " + it.sourcePath + " " +
               SourceGroup(it) + " " + ResultReason(it);
    }
    return it.targetPath + " " + SourceGroup(it) + " is installed";
}

std::string CopyResultText(const std::string& line, uint32_t errorCode, bool scheduledForReboot) {
    if (errorCode == 0) return line + "\n";
    const char* note = errorCode == kErrorDiskFull
                           ? " [There is not enough space on the disk. File is not installed]"
                           : scheduledForReboot ? " [After Reboot]" : " [File is not installed]";
    // "%i": the code as a signed 32-bit number.
    return line + note + ", error code = " + std::to_string(static_cast<int32_t>(errorCode)) + "\n";
}

std::string InUseCopyText(const std::string& source, const std::string& target, uint32_t errorCode) {
    return LoadMessage(kMsgErrorCopyingFile) + " " + source + " to " + target + ". " +
           SystemErrorText(errorCode) + "\n";
}

std::string MissingSourceText(const std::string& sourcePath) {
    return "Error coping: source file not found " + sourcePath + "\n";
}

std::string FormatMessageWithPath(const std::string& message, const std::string& value) {
    size_t at = message.find("%s");
    if (at == std::string::npos) return message;
    std::string text = message;
    text.replace(at, 2, value);
    return text;
}

namespace {

// "size; date" as the file sections keep them.
void SplitDetails(const std::string& details, std::string& size, std::string& date) {
    const size_t at = details.find("; ");
    size = at == std::string::npos ? details : details.substr(0, at);
    date = at == std::string::npos ? std::string() : details.substr(at + 2);
}

// The version, size and date columns of one file: the item's texts, with its
// last-write time in ISO 8601 where its facts were read.
void FileColumns(const std::string& versionText, const std::string& details, const FileFacts& facts,
                 std::string& version, std::string& size, std::string& date) {
    version = versionText;
    SplitDetails(details, size, date);
    if (!facts.factsOk) return;
    date = FormatIsoFileTime(facts.lastWriteTime);
    if (!facts.hasVersion) version = date;
}

}  // namespace

PlanRow FileItemRow(const char* action, const FileItem& it, const std::string& reason) {
    PlanRow row{"", action, it.targetPath, it.deleteItem ? std::string() : it.sourcePath};
    FileColumns(TargetVersionText(it), TargetDetails(it), it.targetFacts, row.targetVersion, row.targetSize,
                row.targetDate);
    if (!it.deleteItem)
        FileColumns(SourceVersionText(it), SourceDetails(it), it.sourceFacts, row.sourceVersion, row.sourceSize,
                    row.sourceDate);
    row.reason = reason;
    return row;
}

}  // namespace dp
