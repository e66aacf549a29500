#include "items/com_registration.h"

#include <gtest/gtest.h>

#include "support/pe_image_builder.h"

namespace dp {
namespace {

// Which servers go through the 64-bit regsvr32: the machine type read from the
// head of the file, whatever the head holds.
TEST(ComRegistration, MachineTypeFromTheImageHeader) {
    const pe_test::Bytes image = pe_test::Image({});
    const std::string x86(image.begin(), image.end());
    auto with = [&](size_t at, std::string bytes) { return std::string(x86).replace(at, bytes.size(), bytes); };
    const struct {
        const char* name;
        std::string head;
        uint16_t machine;
    } cases[] = {
        {"x86", x86, 0x14c},
        {"x86-64", with(0x44, "\x64\x86"), 0x8664},
        {"ARM64", with(0x44, "\x64\xaa"), 0xaa64},
        {"header past the bytes read", with(0x3c, "\xfc\x01"), 0},
        {"header offset near 4 GiB", with(0x3c, "\xff\xff\xff\xff"), 0},
        {"no PE signature", with(0x41, "X"), 0},
        {"cut before the machine", x86.substr(0, 0x45), 0},
        {"cut before the header offset", x86.substr(0, 0x3e), 0},
        {"not an image", std::string(0x200, 'M'), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ImageMachine(c.head), c.machine) << c.name;
        EXPECT_EQ(IsSixtyFourBitMachine(ImageMachine(c.head)), c.machine == 0x8664 || c.machine == 0xaa64) << c.name;
    }
}

}  // namespace
}  // namespace dp
