#include "items/registry/reg_file_text.h"
#include "items/registry/protected_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/variable_table.h"

namespace dp {
namespace {

using Lines = std::vector<std::string>;

// Entries as "type|key|name|data", binary data as hex bytes.
Lines Describe(const RegEntryList& list) {
    Lines out;
    for (size_t i = 0; i < list.types.size(); ++i) {
        std::string data = list.data.at(i);
        if (list.types[i] != kRegSz && list.types[i] != kRegDword) {
            data.clear();
            for (unsigned char c : list.data[i]) data += "0123456789abcdef"[c >> 4] + std::string(1, "0123456789abcdef"[c & 15]);
        }
        out.push_back(std::to_string(list.types[i]) + "|" + list.keyPaths.at(i) + "|" + list.names.at(i) + "|" + data);
    }
    return out;
}

TEST(RegFile, Format) {
    const std::string longKey = "HKCU\\" + std::string(kMaxRegKeyPath - 5, 'k');
    const struct {
        std::string text;
        int result;
        Lines entries;
    } cases[] = {
        {"", 1, {}},
        {"[HKEY_CURRENT_USER\\Software\\Example]\r\n@=\"x\"", 1, {"1|HKEY_CURRENT_USER\\Software\\Example||x"}},
        // Names and data trimmed, also inside the quotes; the CR ends nothing else.
        {" \t[ HKCU\\A ] \r\n \"a b \" = \" spaced \t\"\r\n\"d\"=dword:0000ff00\r\n", 1,
         {"1|HKCU\\A|a b|spaced", "4|HKCU\\A|d|0000ff00"}},
        // Binary pieces: a blank or an empty piece gives 00; the low 8 bits of longer numbers.
        {"[HKCU\\B]\r\n\"b\"=hex:0a,0b\r\n\"c\"=hex:0a, 0b,,1ff,ABCDEF\r\n\"e\"=hex:\r\n", 1,
         {"3|HKCU\\B|b|0a0b", "3|HKCU\\B|c|0a0000ffef", "3|HKCU\\B|e|"}},
        // Every byte is kept, zero bytes inside included.
        {"[HKCU\\B]\r\n\"x\"=hex(2):25,00,41,00\r\n\"m\"=hex(7):61,00,62,00,00,00", 1,
         {"2|HKCU\\B|x|25004100", "7|HKCU\\B|m|610062000000"}},
        // The string types get the closing zero bytes they lack: one for hex(2), two for hex(7).
        {"[HKCU\\Z]\r\n\"x\"=hex(2):25,41,25\r\n\"e\"=hex(2):\r\n\"m\"=hex(7):61,00,62\r\n\"n\"=hex(7):61,00\r\n"
         "\"o\"=hex(7):\r\n\"p\"=hex(7):00\r\n\"b\"=hex:01", 1,
         {"2|HKCU\\Z|x|25412500", "2|HKCU\\Z|e|00", "7|HKCU\\Z|m|6100620000", "7|HKCU\\Z|n|610000", "7|HKCU\\Z|o|0000",
          "7|HKCU\\Z|p|0000", "3|HKCU\\Z|b|01"}},
        // The keywords are found anywhere; the last one of dword, hex(2), hex, hex(7) wins.
        {"[HKCU\\T]\r\n\"q\"=\"say dword: 12\"\r\n\"r\"=\"dword:hex:01\"", 1,
         {"4|HKCU\\T|q|12\"", "3|HKCU\\T|r|00"}},
        {"[HKCU\\Q]\r\n\"q\"=\"say \\\"hi\\\\\\\" in C:\\\\dir\\\\\"\r\n\"v\"=\"%WINDOWS_PATH%App %NOPE% %a%\"", 1,
         {"1|HKCU\\Q|q|say \"hi\" in C:\\\\dir\\\\", "1|HKCU\\Q|v|C:\\WINDOWS\\App %NOPE% %a%"}},
        // Key lines without values add nothing; only the last key counts.
        {"[HKCU\\A]\r\n[HKCU\\B]\r\n\"1\"=\"1\"\r\n[HKCU\\C]", 1, {"1|HKCU\\B|1|1"}},
        {"[" + longKey + "]\r\n@=\"x\"", 1, {"1|" + longKey + "||x"}},
        // Format errors: what came before the bad line stays.
        {"REGEDIT4\r\n[HKCU\\A]\r\n@=\"x\"", 0, {}},
        {"[HKCU\\A]\r\n@=\"1\"\r\n; note\r\n@=\"2\"", 0, {"1|HKCU\\A||1"}},
        {"[HKCU\\A]\r\n@=\"1\"\n\n@=\"2\"", 0, {"1|HKCU\\A||1"}},
        {"@=\"x\"\r\n[HKCU\\A]", 0, {}},
        {"[HKCU\\A\r\n@=\"x\"", 0, {}},
        {"[HKCU]\r\n@=\"x\"", 0, {}},
        {"[" + longKey + "k]\r\n@=\"x\"", 0, {}},
        {"[HKCU\\A]\r\nname=\"x\"", 0, {}},
        {"[HKCU\\A]\r\n\"n\"=unquoted", 0, {}},
        {"[HKCU\\A]\r\n\"n\"=hex:0a,0000000001", 0, {}},
    };
    for (const auto& c : cases) {
        VariableTable vars;
        vars.AddEntry("WINDOWS_PATH", "", "C:\\WINDOWS\\");
        RegEntryList list;
        std::string text = c.text;
        ASSERT_TRUE(PrepareRegFileText(text)) << c.text;
        EXPECT_EQ(ParseRegFile(list, text, vars), c.result) << c.text;
        EXPECT_EQ(Describe(list), c.entries) << c.text;
    }
}

// A zero byte is in no text file: wherever it stands, the whole file breaks
// the format (nothing of it is taken) and its text is left as it was.
TEST(RegFile, AZeroByteRejectsTheWholeFile) {
    const std::string zero(1, '\0');
    for (const std::string& text : {zero, "[HKCU\\A]\r\n@=\"1\"\r\n" + zero + "[HKCU\\B]\r\n@=\"2\"",
                                    "[HKCU\\A]\r\n@=\"1\"" + zero, "\xFF\xFE[" + zero + "H" + zero}) {
        std::string reg = text, keys = text;
        EXPECT_FALSE(PrepareRegFileText(reg));
        EXPECT_FALSE(PrepareKeyFileText(keys));
        EXPECT_EQ(reg, text);
        EXPECT_EQ(keys, text);
    }
    std::string plain = "[HKCU\\A]\r\n\r\n@=\"1\"";
    EXPECT_TRUE(PrepareRegFileText(plain));
    EXPECT_EQ(plain, "[HKCU\\A]\r\n@=\"1\"");
}

TEST(RegFile, LongValuesStayWhole) {
    VariableTable vars;
    RegEntryList list;
    std::string bytes, text = "[HKLM\\Software\\X]\r\n\"" + std::string(700, 'n') + "\"=hex:";
    for (int i = 0; i < 2000; ++i) text += (i ? "," : "") + std::string(i % 7 ? "a5" : "00");
    text += "\r\n@=\"" + std::string(5000, 's') + "\"";
    ASSERT_EQ(ParseRegFile(list, text, vars), 1);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.names[0].size(), 700u);
    EXPECT_EQ(list.data[0].size(), 2000u);
    EXPECT_EQ(list.data[0].substr(6, 3), std::string("\xa5\0\xa5", 3));
    EXPECT_EQ(list.data[1].size(), 5000u);
}

TEST(RegFile, KeyFiles) {
    const std::string longKey = std::string(kMaxRegKeyPath + 1, 'k');
    const struct {
        std::string text;
        int result;
        Lines keys;
    } cases[] = {
        // A comment line goes; a comment after a key joins the next line to it.
        {"[HKCU\\A]\r\n; note\r\n[HKCU\\B] ; joined\r\n[HKCU\\C]\r\n\r\n[-HKLM\\D]", 1,
         {"HKCU\\A", "HKCU\\B", "-HKLM\\D"}},
        {"junk\r\n [ HKCU\\E \r\n[]", 1, {"HKCU\\E", ""}},
        {"[HKCU\\A]\r\n[" + longKey + "]\r\n[HKCU\\B]", 0, {"HKCU\\A"}},
    };
    for (const auto& c : cases) {
        VariableTable vars;
        RegKeyList list;
        std::string text = c.text;
        ASSERT_TRUE(PrepareKeyFileText(text)) << c.text;
        EXPECT_EQ(ParseRegKeyFile(list, text, vars), c.result) << c.text;
        EXPECT_EQ(list.keyPaths, c.keys) << c.text;
    }
}

TEST(RegFile, SectionLines) {
    const struct {
        const char* line;
        bool ok;
        const char* path;
    } cases[] = {
        {"Reg1=app.reg", true, "C:\\prog\\app.reg"},
        {"Reg1= C:\\Setup\\app.reg \r", true, "C:\\Setup\\app.reg"},
        {"x=\\\\srv\\share\\a.reg", true, "C:\\prog\\\\\\srv\\share\\a.reg"},
        {"x=%APPDIR%\\a=b.reg", true, "C:\\prog\\%APPDIR%\\a=b.reg"},
        {"app.reg", false, ""},
    };
    for (const auto& c : cases) {
        std::string path;
        EXPECT_EQ(RegFilePathFromLine(c.line, "C:\\prog\\", path), c.ok) << c.line;
        EXPECT_EQ(path, c.path) << c.line;
    }
}

TEST(RegFile, KeyPathRules) {
    const struct {
        const char* path;
        bool found;
        RegistryRoot root;
    } roots[] = {
        {"HKEY_LOCAL_MACHINE\\Software\\HKUtility", true, RegistryRoot::LocalMachine},
        {"HKCU\\HKLM\\x", true, RegistryRoot::CurrentUser},
        {" - HKEY_CLASSES_ROOT \\x", true, RegistryRoot::ClassesRoot},
        {"HKU", true, RegistryRoot::Users},
        {"hkcu\\x", false, {}},
        {"Software\\HKCU", false, {}},
        {"HKEY_USERSX\\a", false, {}},
    };
    for (const auto& c : roots) {
        RegistryRoot root{};
        EXPECT_EQ(RootFromKeyPath(c.path, root), c.found) << c.path;
        if (c.found) EXPECT_EQ(root, c.root) << c.path;
    }
}

// The keys a key file may delete: only a product's own, judged on the key the
// path finally names (aliases resolved, any case, stray backslashes).
TEST(RegFile, ProtectedKeys) {
    const char* const refused[] = {
        // Roots, users' hives and the roots nobody deletes from.
        "HKLM", "HKLM\\", "HKCU\\", "HKU\\", "HKCR\\", "HKEY_USERS\\.DEFAULT", "HKU\\S-1-5-18\\",
        "HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001",
        "HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001_Classes", "HKCC\\Software\\Vendor",
        "HKPD\\x\\y", "HKDD\\Config Manager\\x", "NOTAROOT\\Software\\Vendor", "Software\\Vendor",
        // Outside Software, in every spelling of a hive.
        "HKLM\\SYSTEM", "HKLM\\SYSTEM\\CurrentControlSet\\Services", "HKLM\\system\\CurrentControlSet\\Control",
        "HKLM\\SYSTEM\\CurrentControlSet\\Services\\MyDriver", "HKLM\\SAM\\x", "HKLM\\HARDWARE\\x",
        "HKCU\\Control Panel", "HKCU\\Environment", "HKCU\\SAM\\Tool", "HKU\\.DEFAULT\\Control Panel\\Desktop",
        // Software itself and the system's vendor keys, also through the 32-bit view.
        "HKLM\\SOFTWARE", "hkcu\\software\\", "\\HKLM\\Software", " -HKEY_LOCAL_MACHINE\\\\Software\\\\Microsoft\\",
        "HKLM\\Software\\Wow6432Node", "HKLM\\Software\\Wow6432Node\\Microsoft", "HKLM\\Software\\Policies\\Vendor",
        "HKLM\\Software\\Clients\\StartMenuInternet", "HKU\\S-1-5-21-1\\Software\\Microsoft",
        "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
        "HKLM\\Software\\Microsoft\\Office\\Addins\\Vendor.Addin",
        // The classes in each of their places: roots, lists, file types, extensions, the system's identifiers.
        "HKCR\\exefile", "HKCR\\*", "HKCR\\Directory\\shell", "HKCR\\.txt", "HKCR\\.myext", "HKCR\\CLSID",
        "HKCR\\Interface\\", "HKCR\\TypeLib", "HKCR\\CLSID\\not-a-guid", "HKCR\\CLSID\\{00021401-0000-0000-C000-00000000004}",
        "HKLM\\Software\\Classes", "HKLM\\Software\\Classes\\exefile", "HKCU\\Software\\Classes\\CLSID",
        "HKLM\\Software\\Wow6432Node\\Classes\\txtfile", "HKCR\\Wow6432Node\\CLSID", "HKCR\\Wow6432Node",
        "HKU\\S-1-5-21-1_Classes\\exefile", "HKCR\\Shell.Application", "HKCR\\WScript.Shell\\CLSID",
        "HKCR\\Msxml2.DOMDocument.6.0", "HKCR\\.Vendor", "HKCR\\Vendor.",
    };
    for (const char* path : refused) EXPECT_TRUE(IsProtectedRegistryKey(path)) << path;
    const char* const allowed[] = {
        "HKCU\\Software\\Example", "HKCU\\Software\\Example\\Tool", "-HKEY_CURRENT_USER\\Software\\Example\\Tool\\",
        "HKLM\\SOFTWARE\\Vendor\\App", "HKLM\\Software\\Wow6432Node\\Vendor", "hklm\\software\\vendor",
        "HKEY_USERS\\.DEFAULT\\Software\\Vendor\\App", "HKU\\S-1-5-21-1\\Software\\Vendor",
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe\\Sub",
        "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{X}",
        "HKCR\\Vendor.Document", "HKCR\\Vendor.Document.1\\shell\\open", "HKCR\\CLSID\\{00021401-0000-0000-c000-000000000046}",
        "HKCR\\TypeLib\\{12345678-1234-1234-1234-123456789ABC}\\1.0", "HKCR\\Wow6432Node\\AppID\\{12345678-1234-1234-1234-123456789ABC}",
        "HKLM\\Software\\Classes\\Vendor.App", "HKCU\\Software\\Classes\\Interface\\{12345678-1234-1234-1234-123456789abc}",
        "HKU\\S-1-5-21-1_Classes\\Vendor.App", "HKLM\\Software\\Wow6432Node\\Classes\\Vendor.App",
    };
    for (const char* path : allowed) EXPECT_FALSE(IsProtectedRegistryKey(path)) << path;
}

TEST(RegFile, DwordText) {
    const struct {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"FFFFFFFF", 0xFFFFFFFFu}, {"1A", 26}, {"0x1a", 26}, {" \t0X10", 16}, {"12g4", 0x12},
        {"", 0}, {"zz", 0}, {"0x", 0}, {"-1", 0}, {"100000000", 0xFFFFFFFFu}, {"000000000000001", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(DwordFromText(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace dp
