#include "base/path_policy.h"

namespace dp {
namespace {

template <typename Char>
std::basic_string_view<Char> LastPart(std::basic_string_view<Char> path) {
    const Char separators[] = {Char('\\'), Char('/')};
    const size_t slash = path.find_last_of(separators, std::basic_string_view<Char>::npos, 2);
    return slash == std::basic_string_view<Char>::npos ? path : path.substr(slash + 1);
}

template <typename Char>
Char Upper(Char c) {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - 'a' + 'A') : c;
}

template <typename Char>
bool IsDeviceName(std::basic_string_view<Char> name) {
    size_t end = 0;
    while (end < name.size() && name[end] != Char('.') && name[end] != Char(':')) ++end;
    while (end > 0 && name[end - 1] == Char(' ')) --end;
    auto is = [&](const char* word) {
        for (size_t i = 0; i < 3; ++i)
            if (Upper(name[i]) != Char(word[i])) return false;
        return true;
    };
    if (end == 3) return is("CON") || is("PRN") || is("AUX") || is("NUL");
    if (end == 4) return (is("COM") || is("LPT")) && name[3] >= Char('1') && name[3] <= Char('9');
    return false;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

template <typename Char>
std::basic_string_view<Char> WithoutFinalBackslashes(std::basic_string_view<Char> folder) {
    while (!folder.empty() && folder.back() == Char('\\')) folder.remove_suffix(1);
    return folder;
}

// The length of the folder's part at the start of the path, or npos when the
// path is not in the folder.
template <typename Char>
size_t FolderPrefix(std::basic_string_view<Char> path, std::basic_string_view<Char> folder) {
    folder = WithoutFinalBackslashes(folder);
    if (folder.empty() || path.size() < folder.size()) return std::basic_string_view<Char>::npos;
    for (size_t i = 0; i < folder.size(); ++i)
        if (Upper(path[i]) != Upper(folder[i])) return std::basic_string_view<Char>::npos;
    if (path.size() > folder.size() && path[folder.size()] != Char('\\')) return std::basic_string_view<Char>::npos;
    return folder.size();
}

template <typename Char>
std::basic_string<Char> ReplaceLeading(std::basic_string_view<Char> path, std::basic_string_view<Char> from,
                                       std::basic_string_view<Char> to) {
    const size_t prefix = FolderPrefix(path, from);
    if (prefix == std::basic_string_view<Char>::npos) return std::basic_string<Char>(path);
    std::basic_string<Char> result(WithoutFinalBackslashes(to));
    result.append(path.substr(prefix));
    return result;
}

}  // namespace

std::string_view LastPathPart(std::string_view path) { return LastPart(path); }
std::u16string_view LastPathPart(std::u16string_view path) { return LastPart(path); }

bool IsReservedDeviceName(std::string_view name) { return IsDeviceName(name); }
bool IsReservedDeviceName(std::u16string_view name) { return IsDeviceName(name); }

bool NamesDevice(std::string_view path) {
    const bool deviceNamespace = path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
                                 path[2] == '.' && IsSeparator(path[3]);
    return deviceNamespace || IsReservedDeviceName(LastPathPart(path));
}

std::string ReplaceLeadingFolder(std::string_view path, std::string_view from, std::string_view to) {
    return ReplaceLeading(path, from, to);
}
std::u16string ReplaceLeadingFolder(std::u16string_view path, std::u16string_view from, std::u16string_view to) {
    return ReplaceLeading(path, from, to);
}
bool IsInFolder(std::string_view path, std::string_view folder) {
    return FolderPrefix(path, folder) != std::string_view::npos;
}
bool IsInFolder(std::u16string_view path, std::u16string_view folder) {
    return FolderPrefix(path, folder) != std::u16string_view::npos;
}

uint32_t CheckPathText(std::string_view path) {
    // A zero would end the path early, where the system would reach another file.
    if (NamesDevice(path) || path.find('\0') != std::string_view::npos) return kErrorInvalidName;
    if (path.size() >= 4 * kMaxWidePath) return kErrorNameTooLong;
    return 0;
}

std::u16string LongPathForm(std::u16string_view full) {
    const auto starts = [&](std::u16string_view prefix) { return full.substr(0, prefix.size()) == prefix; };
    if (starts(u"\\\\?\\")) return std::u16string(full);
    if (starts(u"\\\\.\\")) return {};
    if (starts(u"\\\\")) return u"\\\\?\\UNC\\" + std::u16string(full.substr(2));
    const bool drive = full.size() >= 3 && Upper(full[0]) >= u'A' && Upper(full[0]) <= u'Z' &&
                       full[1] == u':' && full[2] == u'\\';
    return drive ? u"\\\\?\\" + std::u16string(full) : std::u16string();
}

}  // namespace dp
