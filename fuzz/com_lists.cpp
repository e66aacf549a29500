// Fuzzes what the COM registration reads from outside: the head of a file
// (its machine type) and the names and data of the registry lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "items/com/com_registration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(input), size);
    const uint16_t machine = dp::ImageMachine(bytes);
    if (machine != 0 && (bytes.size() < 0x40 || bytes[0] != 'M')) std::abort();
    size_t index = 0;
    if (dp::ParseListIndex(bytes, size, index) && index >= size) std::abort();
    const std::string path = dp::PathFromStoredData(bytes);
    if (path.size() > bytes.size() || path.find('\0') != std::string::npos) std::abort();
    if (dp::PathFromStoredData(dp::StoredPathData(path)) != path) std::abort();
    return 0;
}
