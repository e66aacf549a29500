#include "items/files/update_rule.h"

#include <cstdio>

namespace dp {
namespace {

constexpr uint64_t kFileTimeUnitsPerDay = 864000000000ULL;  // 100 ns units
constexpr int64_t kDaysFrom1601To1970 = 134774;

struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

// Proleptic Gregorian date of a day count relative to 1 January 1970.
CivilDate CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;                                  // [0, 146096]
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);          // [0, 365]
    const int64_t mp = (5 * doy + 2) / 153;                                // [0, 11]
    const unsigned day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    const unsigned month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

}  // namespace

UpdateRule DecideUpdate(const FileItem& item, const FileFacts& target, const FileFacts& source) {
    if (!item.sourceExists) return UpdateRule::SourceMissing;
    if (!item.targetExists) return UpdateRule::TargetMissing;
    if (!target.factsOk || !source.factsOk) return UpdateRule::FactsUnreadable;
    if (item.always) return UpdateRule::Always;
    if (source.hasVersion) {
        if (!target.hasVersion) return UpdateRule::TargetWithoutVersion;
        const bool higher = source.versionMS != target.versionMS ? source.versionMS > target.versionMS
                                                                  : source.versionLS > target.versionLS;
        return higher ? UpdateRule::HigherVersion : UpdateRule::SameOrOlder;
    }
    if (target.hasVersion) return UpdateRule::SameOrOlder;
    return source.lastWriteTime > target.lastWriteTime ? UpdateRule::NewerDate : UpdateRule::SameOrOlder;
}

bool KeptWhateverTargetFacts(const FileItem& item, const FileFacts& source, uint64_t targetLastWriteTime) {
    return item.sourceExists && item.targetExists && !item.always && source.factsOk && !source.hasVersion &&
           source.lastWriteTime <= targetLastWriteTime;
}

bool RuleInstalls(UpdateRule rule) {
    switch (rule) {
    case UpdateRule::TargetMissing:
    case UpdateRule::Always:
    case UpdateRule::HigherVersion:
    case UpdateRule::TargetWithoutVersion:
    case UpdateRule::NewerDate:
        return true;
    default:
        return false;
    }
}

const char* RuleText(UpdateRule rule) {
    switch (rule) {
    case UpdateRule::SourceMissing: return "source missing";
    case UpdateRule::TargetMissing: return "target missing";
    case UpdateRule::FactsUnreadable: return "facts unreadable";
    case UpdateRule::Always: return "Always";
    case UpdateRule::HigherVersion: return "higher version";
    case UpdateRule::TargetWithoutVersion: return "installed file without version";
    case UpdateRule::NewerDate: return "newer date";
    case UpdateRule::SameOrOlder: return "same or older";
    }
    return "";
}

std::string FormatFileDate(uint64_t fileTime) {
    const int64_t days = static_cast<int64_t>(fileTime / kFileTimeUnitsPerDay);
    const CivilDate d = CivilFromDays(days - kDaysFrom1601To1970);
    return std::to_string(d.day) + "." + std::to_string(d.month) + "." + std::to_string(d.year);
}

std::string FormatIsoFileTime(uint64_t fileTime) {
    const int64_t days = static_cast<int64_t>(fileTime / kFileTimeUnitsPerDay);
    const CivilDate d = CivilFromDays(days - kDaysFrom1601To1970);
    const uint64_t seconds = fileTime % kFileTimeUnitsPerDay / 10000000;
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02uZ", static_cast<long long>(d.year), d.month,
                  d.day, static_cast<unsigned>(seconds / 3600), static_cast<unsigned>(seconds / 60 % 60),
                  static_cast<unsigned>(seconds % 60));
    return text;
}

std::string FormatFileSize(uint64_t size) { return std::to_string(static_cast<int64_t>(size)); }

std::string FormatFileDetails(const std::string& sizeText, const std::string& dateText) {
    return sizeText + "; " + dateText;
}

bool SplitInstallLine(const std::string& line, InstallLine& out) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    out.target = line.substr(0, eq);
    const std::string rest = line.substr(eq + 1);
    const size_t comma = rest.find(',');
    if (comma == std::string::npos) {
        out.source = rest;
        out.options.clear();
    } else {
        out.source = rest.substr(0, comma);
        out.options = rest.substr(comma + 1);
    }
    out.always = out.options.find("Always") != std::string::npos;
    return true;
}

std::string CompleteFilePath(const std::string& path, const std::string& programDirectory) {
    if (path.find('\\') != std::string::npos) return path;
    return programDirectory + path;
}

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace dp
