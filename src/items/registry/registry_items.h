#pragma once
// Registry values the script writes ([InstallRegEntries], read from
// registration files) and keys it deletes ([DeleteRegEntries], read from key
// files).
#include <cstdint>
#include <string>
#include <vector>

#include "items/work/work_item.h"

namespace dp {

inline constexpr char kInstallRegEntriesSection[] = "[InstallRegEntries]";
inline constexpr char kDeleteRegEntriesSection[] = "[DeleteRegEntries]";

class VariableTable;

// Registry type codes of the values a registration file can hold.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

// Registry values to write, in file order (files in section order). Entry i
// is types[i], keyPaths[i], names[i], data[i]; Add keeps the four in step.
class RegEntryList {
public:
    virtual ~RegEntryList() = default;

    int32_t count() const { return static_cast<int32_t>(types.size()); }
    void Add(uint32_t type, std::string keyPath, std::string name, std::string data);

    std::vector<uint32_t> types;
    // The full key path with its root name ("HKEY_LOCAL_MACHINE\Software\X").
    std::vector<std::string> keyPaths;
    // The value name; "" for the key's default value.
    std::vector<std::string> names;
    // REG_SZ: the text (written with a terminating zero byte); REG_DWORD: the
    // hexadecimal digits as written; the binary types: every parsed byte.
    std::vector<std::string> data;
};

// Registry keys to delete, each a full key path with its root name.
class RegKeyList {
public:
    virtual ~RegKeyList() = default;

    int32_t count() const { return static_cast<int32_t>(keyPaths.size()); }

    std::vector<std::string> keyPaths;
};

// [InstallRegEntries]: one "label=file" line per registration file, whose
// values are appended to the list. 0 (after a box) when a line has no "=" or
// a file cannot be read; a file with a format error shows a box, keeps what it
// gave before the bad line, and the next line is read.
int ParseInstallRegEntries(RegEntryList& list, const std::string& section, VariableTable& variables);
// [DeleteRegEntries]: the same for key files and the key list.
int ParseDeleteRegEntries(RegKeyList& list, const std::string& section, VariableTable& variables);

// A work item per value: written, its key opened once for a run of values of
// the same key and created as needed. A key that cannot be opened is shown in
// a box and ends the step: that value and every one after it stay unwritten
// (failed). A value that cannot be written is logged and shown. Windows only.
void AddRegistryValues(const RegEntryList& entries, WorkItems& items);
// A work item per key: deleted with its subtree, then its parent when that is
// left empty. A missing key is up to date; one that is there but cannot be
// opened or deleted fails; shared keys and hive roots are refused. Windows only.
void AddRegistryKeyDeletions(const RegKeyList& keys, WorkItems& items);

}  // namespace dp
