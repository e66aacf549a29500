#include "engine/install_plan.h"

#include <cstdio>

#include "items/com_registration.h"
#include "items/files/update_rule.h"
#include "model/install_script.h"

namespace dp {
namespace {

const char* TypeName(uint32_t type) {
    switch (type) {
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    default: return "";
    }
}

// The data of a value as it would be written: text as it is, bytes in hexadecimal.
std::string ValueText(uint32_t type, const std::string& data) {
    if (type == kRegSz || type == kRegDword) return data;
    std::string hex;
    for (unsigned char byte : data) {
        char two[4];
        std::snprintf(two, sizeof two, hex.empty() ? "%02x" : ",%02x", byte);
        hex += two;
    }
    return hex;
}

// "size; date" as the file sections keep them.
void SplitDetails(const std::string& details, std::string& size, std::string& date) {
    const size_t at = details.find("; ");
    size = at == std::string::npos ? details : details.substr(0, at);
    date = at == std::string::npos ? std::string() : details.substr(at + 2);
}

// The version, size and date columns of one file: the item's texts, with its
// last-write time in ISO 8601 where its facts were read.
void FileColumns(const std::string& versionText, const std::string& details, const FileFacts& facts,
                 std::string& version, std::string& size, std::string& date) {
    version = versionText;
    SplitDetails(details, size, date);
    if (!facts.factsOk) return;
    date = FormatIsoFileTime(facts.lastWriteTime);
    if (!facts.hasVersion) version = date;
}

PlanRow FileRow(const char* step, const char* action, const FileItem& it, const std::string& reason) {
    PlanRow row{step, action, it.targetPath, it.deleteItem ? std::string() : it.sourcePath};
    FileColumns(it.targetVersionText, it.targetDetails, it.targetFacts, row.targetVersion, row.targetSize,
                row.targetDate);
    if (!it.deleteItem)
        FileColumns(it.sourceVersionText, it.sourceDetails, it.sourceFacts, row.sourceVersion, row.sourceSize,
                    row.sourceDate);
    row.reason = reason;
    return row;
}

void AddRuns(std::vector<PlanRow>& rows, const RunFileList& runs, int phase, const char* step) {
    for (int i = 0; i < runs.count(); ++i) {
        if (static_cast<int>(runs.phases[i]) != phase) continue;
        std::string reason;
        if (!runs.shellFlags[i]) {
            reason = runs.waitFlags[i] ? "waited for" : "not waited for";
            if (runs.waitFlags[i] && runs.expectedCodes[i] != kNoExpectedCode)
                reason += ", exit code " + std::to_string(runs.expectedCodes[i]) + " expected";
        }
        rows.push_back({step, runs.shellFlags[i] ? "open" : "run", runs.commands[i], "", "", "", "", "", "",
                        "", reason});
    }
}

void AddDirectories(std::vector<PlanRow>& rows, const DirectoryList& list, bool deletes, const char* step) {
    for (int i = 0; i < list.count(); ++i)
        if ((list.isDelete[i] != 0) == deletes && !list.paths[i].empty())
            rows.push_back({step, deletes ? "delete directory" : "create directory", list.paths[i]});
}

}  // namespace

std::vector<PlanRow> BuildInstallPlan(const InstallScript& s) {
    std::vector<PlanRow> rows;
    const std::vector<FileItem>& files = s.fileList.items;

    AddRuns(rows, s.runList, kRunPhaseFirst, "[RunFileFirst]");
    for (const std::string& link : s.deleteShortcutList.linkPaths)
        rows.push_back({"[DeleteShortcuts]", "delete shortcut", link + ".lnk"});
    for (const FileItem& it : files)
        if (it.font && it.selected && it.deleteItem) rows.push_back(FileRow("[DeleteShortcuts]", "remove font", it, ""));
    for (const std::string& key : s.regKeys.keyPaths) rows.push_back({"[DelRegEntries]", "delete key", key});
    for (const FileItem& it : files)
        if (it.deleteItem && it.selected)
            rows.push_back(FileRow("[DelFilesFirst]", "delete", it, it.targetExists ? "listed" : "target missing"));
    for (const FileItem& it : files) {
        if (it.deleteItem) continue;
        const char* action = !it.sourceExists ? "missing source"
                             : !it.selected   ? "keep"
                             : it.targetExists ? "replace"
                                               : "install";
        rows.push_back(FileRow("[InstallFiles]", action, it, RuleText(static_cast<UpdateRule>(it.updateRule))));
    }
    for (const FileItem& it : files)
        if (it.font && it.selected && !it.deleteItem && it.sourceExists)
            rows.push_back(FileRow("[InstallFiles]", "add font", it, ""));
    AddDirectories(rows, s.directoryList, false, "[Delete/CreateDirectory]");
    AddDirectories(rows, s.directoryList, true, "[Delete/CreateDirectory]");
    for (int i = 0; i < s.regEntries.count(); ++i) {
        const std::string name = s.regEntries.names[i].empty() ? "@" : s.regEntries.names[i];
        rows.push_back({"[InstallRegEntries]", "write value", s.regEntries.keyPaths[i] + "\\" + name,
                        ValueText(s.regEntries.types[i], s.regEntries.data[i]), "", "", "", "", "", "",
                        TypeName(s.regEntries.types[i])});
    }
    for (int i = 0; i < s.shortcutList.count(); ++i)
        if (IsInstalledTarget(s.fileList, s.shortcutList.targetPaths[i]))
            rows.push_back({"[AddShortCut]", "create shortcut", s.shortcutList.linkPaths[i] + ".lnk",
                            s.shortcutList.targetPaths[i]});
    for (const std::string& name : s.deleteFontSubstitutes.names)
        rows.push_back({"[DeleteFontSubstitutes]", "delete substitute", name});
    for (int i = 0; i < s.setFontSubstitutes.count(); ++i)
        rows.push_back({"[SetFontSubstitutes]", "set substitute", s.setFontSubstitutes.names[i],
                        s.setFontSubstitutes.values[i].value_or("")});
    // The end phase: system servers are registered before the others.
    for (const FileItem* it : ComServerItemsToRegister(s.fileList))
        rows.push_back(FileRow("[ComRegistration]", "register", *it, ""));
    AddRuns(rows, s.runList, kRunPhaseEnd, "[RunFileEnd]");
    for (const std::string& path : s.deleteFilesEndList.paths) rows.push_back({"[DeleteFileEnd]", "delete", path});
    return rows;
}

const std::vector<std::string> kPlanColumns = {
    "step", "action", "target", "source", "target version", "target size", "target date",
    "source version", "source size", "source date", "reason"};

std::vector<std::string> PlanFields(const PlanRow& r) {
    return {r.step, r.action, r.target, r.source, r.targetVersion, r.targetSize, r.targetDate,
            r.sourceVersion, r.sourceSize, r.sourceDate, r.reason};
}

std::string FormatPlan(const std::vector<PlanRow>& rows, ReportForm form) {
    ReportRows fields;
    fields.reserve(rows.size());
    for (const PlanRow& row : rows) fields.push_back(PlanFields(row));
    return FormatReport(form, kPlanColumns, fields);
}

}  // namespace dp
