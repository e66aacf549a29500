#pragma once
// Lists of the script's non-file items. Their sections are read into them by
// their own parsers; until a parser exists for a family its list stays empty.
#include <string>
#include <vector>

#include "script/reporting_base.h"

namespace dp {

// [DeleteShortcuts]: shortcut paths to delete (their folders are removed when empty).
class DeleteShortcutList : public ReportingBase {
public:
    ~DeleteShortcutList() override = default;
    std::vector<std::string> paths;
};

// [InstallShortcuts].
class ShortcutList : public ReportingBase {
public:
    ~ShortcutList() override = default;
    std::vector<std::string> lines;
};

// [RunFileFirst] and [RunFileEnd], in one list.
class RunFileList : public ReportingBase {
public:
    ~RunFileList() override = default;
    std::vector<std::string> lines;
    std::vector<int> phases;  // 0 first, 1 end
};

// [SetFontSubstitutes] or [DeleteFontSubstitutes].
class FontSubstituteList : public ReportingBase {
public:
    ~FontSubstituteList() override = default;
    std::vector<std::string> lines;
    int rebootRequired = 0;
};

// [DeleteFilesEnd]: files deleted at the end of the run.
class EndFileList : public ReportingBase {
public:
    ~EndFileList() override = default;
    std::vector<std::string> paths;
};

// [CreateDirectory] and [DeleteDirectory], in one list.
class DirectoryList {
public:
    virtual ~DirectoryList() = default;
    std::vector<std::string> paths;
    std::vector<int> modes;  // 0 create, 1 delete
};

// Registry values to write ([InstallRegEntries]).
class RegEntryList {
public:
    virtual ~RegEntryList() = default;
    std::vector<std::string> lines;
};

// Registry keys to delete ([DeleteRegEntries]).
class RegKeyList {
public:
    virtual ~RegKeyList() = default;
    std::vector<std::string> keys;
};

}  // namespace dp
