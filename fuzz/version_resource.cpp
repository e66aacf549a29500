// Fuzzes the version resource reader: the input as an image file, and as a
// raw version block (which the queries must survive even when damaged).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../tests/support/pe_image_builder.h"
#include "items/files/version_resource.h"

namespace {

using namespace dp::pe_test;

// A small image with a resource section holding one version block; the
// fuzzer's edits start from it, so they reach the deep parts of the reader.
Bytes Template() {
    Bytes text;
    AppendText(text, u"1.2.3.4");
    Bytes fixed(52);
    Put32(fixed, 0, 0xFEEF04BD);
    Bytes pairs(8);
    Put32(pairs, 0, 0x04b00409);
    Put32(pairs, 4, 0x04e40407);
    const Bytes block = VNode(
        u"VS_VERSION_INFO", fixed, 52, 0,
        {VNode(u"StringFileInfo", {}, 0, 1,
               {VNode(u"040904b0", {}, 0, 1, {VNode(u"FileVersion", text, 8, 1)}),
                VNode(u"040704e4", {}, 0, 1, {VNode(u"FileVersion", text, 8, 1)})}),
         VNode(u"VarFileInfo", {}, 0, 1, {VNode(u"Translation", pairs, 8, 0)})});
    return Image({block});
}

}  // namespace

// Input: a first byte 0 takes the rest as a whole file; otherwise the rest is
// a list of three-byte edits (offset low, offset high, value) of the template.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t inputSize) {
    static const Bytes kTemplate = Template();
    if (inputSize == 0) return 0;
    Bytes file;
    if (input[0] == 0) {
        file.assign(input + 1, input + inputSize);
    } else {
        file = kTemplate;
        for (size_t i = 1; i + 3 <= inputSize; i += 3) {
            const size_t at = (input[i] | (input[i + 1] << 8)) % (file.size() + 1);
            if (at == file.size())
                file.resize(input[i + 2] % 2 ? file.size() / 2 : file.size() + 16);
            else
                file[at] = input[i + 2];
        }
    }
    const uint8_t* data = file.data();
    const size_t size = file.size();
    MemoryReader reader(data, size);
    std::vector<uint8_t> block;
    const dp::VersionLookup result = dp::FindImageVersionResource(reader, block);
    if (result == dp::VersionLookup::found) {
        if (block.size() < 6) std::abort();
        const dp::VersionFacts facts = dp::ReadVersionFacts(block);
        if (facts.fileVersion.size() > block.size()) std::abort();
        if (inputSize == 1 && facts.fileVersion != u"1.2.3.4") std::abort();
    } else if (!block.empty() || (inputSize == 1 && input[0] != 0)) {
        std::abort();  // the unedited template is an image with a version resource
    }
    const std::vector<uint8_t> raw(data, data + size);
    dp::ReadVersionFacts(raw);
    dp::VersionValue value;
    if (dp::QueryVersionValue(raw, "\\a\\\\B\\c", value) && value.offset > raw.size() + 3)
        std::abort();
    return 0;
}
