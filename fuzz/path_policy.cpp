// Fuzzes the path policy's text rules and the "\\?\" form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/path_policy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    // The last part is the path's tail and holds no separator.
    const std::string_view last = dp::LastPathPart(path);
    if (last.size() > path.size() || path.compare(path.size() - last.size(), last.size(), last) != 0) std::abort();
    if (last.find_first_of("\\/") != std::string_view::npos) std::abort();
    const uint32_t verdict = dp::CheckPathText(path);
    if (verdict != 0 && verdict != dp::kErrorInvalidName && verdict != dp::kErrorNameTooLong) std::abort();
    if (dp::NamesDevice(path) && verdict != dp::kErrorInvalidName) std::abort();
    if (dp::IsReservedDeviceName(last) != dp::IsReservedDeviceName(std::u16string(last.begin(), last.end())))
        std::abort();

    // The "\\?\" form keeps the path at its end and adds a known prefix.
    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2) wide += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    const std::u16string form = dp::LongPathForm(wide);
    if (form.empty()) return 0;
    if (form.compare(0, 4, u"\\\\?\\") != 0) std::abort();
    const std::u16string tail = wide.substr(wide.compare(0, 2, u"\\\\") == 0 && wide.compare(0, 4, u"\\\\?\\") != 0 ? 2 : 0);
    if (form.size() < tail.size() || form.compare(form.size() - tail.size(), tail.size(), tail) != 0) std::abort();
    return 0;
}
