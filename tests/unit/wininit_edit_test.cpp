#include "items/files/wininit_edit.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

TEST(WinInitRename, InsertsFirstInSectionOrAppendsHeader) {
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"no file", "", "[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"no section", "[Other]\r\nk=v\r\n",
         "[Other]\r\nk=v\r\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"no final line break", "[Other]\r\nk=v", "[Other]\r\nk=v[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"existing section", "[X]\r\n[Rename]\r\nNUL=C:\\old.dll\r\n[Y]\r\n",
         "[X]\r\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\nNUL=C:\\old.dll\r\n[Y]\r\n"},
        {"header at the very end", "[Rename]\r\n", "[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"header in another case", "[rename]\r\nNUL=C:\\old.dll\r\n",
         "[rename]\r\nNUL=C:\\old.dll\r\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"header without CR", "[Rename]\nNUL=C:\\old.dll\n",
         "[Rename]\nNUL=C:\\old.dll\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"first of two headers", "[Rename]\r\nA\r\n[Rename]\r\nB\r\n",
         "[Rename]\r\nNUL=C:\\a b\\x.dll\r\nA\r\n[Rename]\r\nB\r\n"},
        {"header behind a zero byte is not seen", std::string("x\0[Rename]\r\n", 13),
         std::string("x\0[Rename]\r\n", 13) + "[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InsertRenameEntry(c.before, RenameDeleteLine("C:\\a b\\x.dll")), c.after) << c.name;
}

TEST(WinInitRename, ReplacementLine) {
    EXPECT_EQ(InsertRenameEntry("[Rename]\r\nNUL=C:\\old.dll\r\n", RenameLine("C:\\APP\\CORE.DLL", "C:\\APP\\~DP1~1.TMP")),
              "[Rename]\r\nC:\\APP\\CORE.DLL=C:\\APP\\~DP1~1.TMP\r\nNUL=C:\\old.dll\r\n");
}

}  // namespace
}  // namespace dp
