// Fuzzes the WinInit.Ini [Rename] edit: the input's first line is the path,
// the rest the old file text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "items/files/wininit_edit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\n');
    const std::string path = cut == std::string::npos ? input : input.substr(0, cut);
    const std::string old = cut == std::string::npos ? std::string() : input.substr(cut + 1);

    const std::string line = dp::RenameDeleteLine(path);
    const std::string text = dp::InsertRenameEntry(old, line);
    const std::string searched = old.substr(0, old.find('\0'));
    const size_t header = searched.find(dp::kRenameHeader);
    if (header == std::string::npos) {
        // Appended: the old text unchanged, then the header and the line.
        if (text != old + dp::kRenameHeader + line) std::abort();
    } else {
        // Inserted right after the first header; everything else kept in order.
        const size_t at = header + dp::kRenameHeaderLength;
        if (text.size() != old.size() + line.size()) std::abort();
        if (text.compare(0, at, old, 0, at) != 0) std::abort();
        if (text.compare(at, line.size(), line) != 0) std::abort();
        if (text.compare(at + line.size(), std::string::npos, old, at, std::string::npos) != 0)
            std::abort();
    }
    return 0;
}
