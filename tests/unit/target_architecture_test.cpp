#include "base/target_architecture.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

// Which keys a 64-bit run opens in the 64-bit view.
TEST(TargetArchitecture, KeysWithTwoViews) {
    using H = RegistryHive;
    const struct {
        H hive;
        std::string subkey;
        bool two;
    } cases[] = {
        {H::kLocalMachine, "SOFTWARE\\Vendor\\App", true},
        {H::kLocalMachine, "software", true},
        {H::kLocalMachine, "\\Software\\\\Vendor\\", true},
        {H::kLocalMachine, "SOFTWARE\\Wow6432Node\\Vendor", true},  // the 32-bit key, named in the 64-bit view
        {H::kLocalMachine, "SOFTWARE\\Classes\\CLSID\\{x}", true},
        {H::kLocalMachine, "SOFTWAREX\\Vendor", false},
        {H::kLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\x", false},
        {H::kLocalMachine, "", false},
        {H::kClassesRoot, "CLSID\\{x}", true},
        {H::kClassesRoot, ".txt", true},
        {H::kCurrentUser, "Software\\Classes\\CLSID\\{x}", true},
        {H::kCurrentUser, "SOFTWARE\\CLASSES", true},
        {H::kCurrentUser, "Software\\Vendor\\App", false},
        {H::kCurrentUser, "Software", false},
        {H::kCurrentUser, "Environment", false},
        {H::kUsers, "S-1-5-21-1\\Software\\Classes\\CLSID", true},
        {H::kUsers, "S-1-5-21-1_Classes\\CLSID", true},
        {H::kUsers, "S-1-5-21-1\\Software\\Vendor", false},
        {H::kUsers, ".DEFAULT\\Software\\Classes", true},
        {H::kOther, "Software\\Vendor", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasTwoRegistryViews(c.hive, c.subkey), c.two) << static_cast<int>(c.hive) << " " << c.subkey;
}

}  // namespace
}  // namespace dp
