#include "items/files/wininit_edit.h"

#include <string_view>

namespace dp {

std::string RenameDeleteLine(const std::string& path) { return RenameLine("NUL", path); }

std::string RenameLine(const std::string& destination, const std::string& source) {
    return destination + "=" + source + "\r\n";
}

std::string InsertRenameEntry(const std::string& oldText, const std::string& line) {
    std::string_view searched(oldText);
    searched = searched.substr(0, searched.find('\0'));
    const size_t header = searched.find(kRenameHeader);
    std::string result;
    result.reserve(oldText.size() + kRenameHeaderLength + line.size());
    if (header == std::string_view::npos) {
        result = oldText;
        result += kRenameHeader;
        result += line;
        return result;
    }
    // The header ends with its own line feed: the new line goes right after it.
    const size_t insertAt = header + kRenameHeaderLength;
    result.append(oldText, 0, insertAt);
    result += line;
    result.append(oldText, insertAt, std::string::npos);
    return result;
}

}  // namespace dp
