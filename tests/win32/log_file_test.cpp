// The log's size limit, cut in place on a real file system. The header of a
// run (good_script.scn), runs appending to one log, the NONE level, the boxes
// for a log that cannot be made (log_and_messages.scn) and the after-reboot
// log (after_reboot.scn) are shown end to end.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_file.h"
#include "test_support.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return s;
}

TEST(LimitLogSize, KeepsExactlyTheLastBytesInTheSameFile) {
    ScratchDir dir;
    const std::string path = dir / "kitup.log";
    const struct {
        size_t size;
        int32_t kb;
        size_t kept;
    } cases[] = {
        {5000, 4, 4096}, {3000, 4, 3000}, {4096, 4, 4096}, {5000, 0, 0},
        {5000, -1, 5000},  // a negative maximum: no limit
        {3 * 1024 * 1024 + 17, 1024, 1024 * 1024},  // more than one chunk moved
    };
    for (const auto& c : cases) {
        const std::string original = Pattern(c.size);
        WriteFileText(path, original);
        // A handle opened before the cut sees the new content only if the
        // file was cut in place, not deleted and made anew.
        HANDLE before = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(before, INVALID_HANDLE_VALUE);
        LimitLogSize(path, c.kb);
        std::string seen(c.size, '\0');
        DWORD read = 0;
        ReadFile(before, seen.data(), static_cast<DWORD>(seen.size()), &read, nullptr);
        CloseHandle(before);
        seen.resize(read);
        EXPECT_TRUE(seen == original.substr(c.size - c.kept)) << c.size << "/" << c.kb << ": " << read;
    }
    // A missing file is not made; a locked one is left as it is.
    LimitLogSize(dir / "missing.log", 1);
    EXPECT_FALSE(Exists(dir / "missing.log"));
    WriteFileText(path, Pattern(5000));
    {
        test::LockedFile lock(path);
        ASSERT_TRUE(lock.ok());
        LimitLogSize(path, 4);
    }
    EXPECT_EQ(ReadFileText(path), Pattern(5000));
}

}  // namespace
}  // namespace dp
