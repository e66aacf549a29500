#include "items/registry/reg_file_text.h"


#include "base/reading_watch.h"
#include "base/text.h"
#include "script/script_text.h"
#include "script/variable_table.h"

namespace dp {
namespace {

constexpr std::string_view kRegBlanks = " \t\r\n";     // registration files
constexpr std::string_view kLineBlanks = " \r\n";      // section lines, key files

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The hexadecimal digits at the start of the text, saturated at FFFFFFFF.
uint32_t LeadingHex(std::string_view text) {
    uint64_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

// Calls line(text) for every line of a text cut at its line feeds.
template <typename Visit>
bool ForEachLine(std::string_view text, Visit line) {
    for (std::string_view each : SplitLines(text))
        if (!line(each)) {
            NoteRejectedFileLine(each);
            return false;
        }
    return true;
}

// The text after the first quote up to the last one (to the end when there
// is only one).
std::string_view Quoted(std::string_view part, size_t firstQuote) {
    const size_t last = part.rfind('"');
    return last > firstQuote ? part.substr(firstQuote + 1, last - firstQuote - 1)
                             : part.substr(firstQuote + 1);
}

uint32_t ValueType(std::string_view valuePart) {
    uint32_t type = kRegSz;
    if (Contains(valuePart, "dword:")) type = kRegDword;
    if (Contains(valuePart, "hex(2):")) type = kRegExpandSz;
    if (Contains(valuePart, "hex:")) type = kRegBinary;
    if (Contains(valuePart, "hex(7):")) type = kRegMultiSz;
    return type;
}

// Every comma-separated piece gives one byte: the low 8 bits of the hex
// digits it starts with (0 when it starts with anything else). False for a
// piece longer than kMaxRegByteToken.
bool ParseBytes(std::string_view list, std::string& bytes) {
    list = list.substr(0, list.find_last_not_of(kRegBlanks) + 1);  // the line's CR ends the last piece
    bytes.clear();
    if (list.empty()) return true;
    bytes.reserve(list.size() / 3 + 1);
    size_t begin = 0;
    for (;;) {
        size_t comma = list.find(',', begin);
        const std::string_view piece =
            list.substr(begin, comma == std::string_view::npos ? std::string_view::npos : comma - begin);
        if (piece.size() > kMaxRegByteToken) return false;
        bytes.push_back(static_cast<char>(LeadingHex(piece) & 0xFFu));
        if (comma == std::string_view::npos) return true;
        begin = comma + 1;
    }
}

// The system's string types end with zero bytes: an expandable string with
// one, a list of strings with two (its last string's and the empty one that
// ends the list). Data written without them gets what is missing.
void AddClosingZeros(uint32_t type, std::string& bytes) {
    const size_t zeros = type == kRegExpandSz ? 1 : type == kRegMultiSz ? 2 : 0;
    size_t present = 0;
    while (present < zeros && present < bytes.size() && bytes[bytes.size() - 1 - present] == '\0') ++present;
    bytes.append(zeros - present, '\0');
}

// One value line under the current key: appends its entry, or false when the
// line breaks the format.
bool ParseValueLine(RegEntryList& list, std::string_view line, std::string_view key,
                    VariableTable& variables) {
    const size_t equals = line.find('=');
    const std::string_view namePart = line.substr(0, equals);
    const std::string_view valuePart = line.substr(equals + 1);

    std::string name;
    if (const size_t quote = namePart.find('"'); quote != std::string_view::npos)
        name = TrimView(Quoted(namePart, quote), kRegBlanks);
    else if (!Contains(namePart, "@"))
        return false;

    const uint32_t type = ValueType(valuePart);
    std::string data;
    if (type == kRegSz) {
        const size_t quote = valuePart.find('"');
        if (quote == std::string_view::npos) return false;
        data = TrimView(Quoted(valuePart, quote), kRegBlanks);
        variables.ExpandVariables(data, true);
        UnescapeQuotes(data);
    } else {
        const size_t colon = valuePart.find(':');
        if (colon == std::string_view::npos) return false;
        const std::string_view rest = valuePart.substr(colon + 1);
        if (type == kRegDword)
            data = TrimView(rest, kRegBlanks);
        else if (!ParseBytes(rest, data))
            return false;
        else
            AddClosingZeros(type, data);
    }
    list.Add(type, std::string(key), std::move(name), std::move(data));
    return true;
}

}  // namespace

void RegEntryList::Add(uint32_t type, std::string keyPath, std::string name, std::string value) {
    types.push_back(type);
    keyPaths.push_back(std::move(keyPath));
    names.push_back(std::move(name));
    data.push_back(std::move(value));
}

bool RegFilePathFromLine(std::string_view line, const std::string& programDirectory,
                         std::string& path) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view name = TrimView(line.substr(equals + 1), kLineBlanks);
    path = Contains(name, ":\\") ? std::string(name) : programDirectory + std::string(name);
    return true;
}

bool PrepareRegFileText(std::string& text) {
    if (text.find('\0') != std::string::npos) return false;
    RemoveEmptyLines(text);
    return true;
}

bool PrepareKeyFileText(std::string& text) {
    if (text.find('\0') != std::string::npos) return false;
    RemoveComments(text);
    RemoveEmptyLines(text);
    return true;
}

int ParseRegFile(RegEntryList& list, std::string_view text, VariableTable& variables) {
    text = TrimView(text, kRegBlanks);
    if (text.empty()) return 1;
    std::string_view key;
    bool haveKey = false;
    const bool ok = ForEachLine(text, [&](std::string_view line) {
        if (Contains(line, "=")) return haveKey && ParseValueLine(list, line, key, variables);
        const size_t open = line.find('[');
        if (open == std::string_view::npos) return false;
        const size_t close = line.find(']', open + 1);
        if (close == std::string_view::npos) return false;
        key = TrimView(line.substr(open + 1, close - open - 1), kRegBlanks);
        haveKey = key.size() <= kMaxRegKeyPath && Contains(key, "\\");
        return haveKey;
    });
    return ok ? 1 : 0;
}

int ParseRegKeyFile(RegKeyList& list, std::string_view text, VariableTable&) {
    text = TrimView(text, kLineBlanks);
    if (text.empty()) return 1;
    const bool ok = ForEachLine(text, [&](std::string_view line) {
        const size_t open = line.find('[');
        if (open == std::string_view::npos) return true;  // not a key line
        std::string_view key = line.substr(open + 1);
        key = TrimView(key.substr(0, key.find(']')), kLineBlanks);
        if (key.size() > kMaxRegKeyPath) return false;
        list.keyPaths.emplace_back(key);
        return true;
    });
    return ok ? 1 : 0;
}

void UnescapeQuotes(std::string& text) {
    // A replacement only ever removes the backslash right before a quote, so
    // the repeated replacement ends with every such run of backslashes gone.
    size_t out = 0;
    for (char c : text) {
        if (c == '"')
            while (out > 0 && text[out - 1] == '\\') --out;
        text[out++] = c;
    }
    text.resize(out);
}

uint32_t DwordFromText(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    text.remove_prefix(at);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    return LeadingHex(text);
}

bool RootFromKeyPath(std::string_view keyPath, RegistryRoot& root) {
    std::string_view name = keyPath.substr(0, keyPath.find('\\'));
    name = TrimView(name, " \t");
    if (!name.empty() && name.front() == '-') name = TrimView(name.substr(1), " \t");
    return ParseRegistryRoot(std::string(name), root);
}

KeyPathParts SplitKeyPath(std::string_view keyPath) {
    const size_t slash = keyPath.find('\\');
    if (slash == std::string_view::npos) return {keyPath, {}, false};
    return {keyPath.substr(0, slash), keyPath.substr(slash + 1), true};
}

}  // namespace dp
