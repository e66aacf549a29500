// Fuzzes the reading of a font file's full name: the input is the file, read
// in the pieces the reader asks for; its "name" table alone is fuzzed too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "items/fonts/font_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    uint64_t asked = 0;
    const std::u16string name = dp::FontFullName([&](uint64_t offset, uint32_t length, std::string& bytes) {
        asked += length;
        bytes = offset < file.size() ? std::string(file.substr(static_cast<size_t>(offset), length)) : std::string();
        return true;
    });
    // A name never holds a zero, and comes from the bytes of the file.
    if (name.find(u'\0') != std::u16string::npos || name.size() > size) std::abort();
    if (asked > (uint64_t{1} << 21) + 16 * 65536 + 64) std::abort();  // never more than a name table's worth
    const std::u16string fromTable = dp::FullNameFromNameTable(file);
    if (fromTable.find(u'\0') != std::u16string::npos || fromTable.size() > size) std::abort();
    return 0;
}
