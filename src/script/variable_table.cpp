#include "script/variable_table.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

#include "base/reading_watch.h"
#include "base/run_flags.h"
#include "base/text.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "script/registry_text.h"
#include "script/script_text.h"

namespace dp {
namespace {

std::string TrimVariableText(std::string_view text) { return std::string(TrimView(text, " \n\r")); }

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Limits of one expansion. An expansion that grows past them cannot be one a
// script meant: it is reported as a value that is too long.
constexpr size_t kMaxReplacements = 1000000;
// Text put back in front of the pending text while resuming, all together.
constexpr size_t kMaxMovedBack = 4 * kMaxExpandedText;

}  // namespace

size_t VariableTable::NameHash::operator()(std::string_view name) const {
    uint64_t h = 14695981039346656037ull;  // FNV-1a over the folded name
    for (char c : name) h = (h ^ static_cast<unsigned char>(FoldCase(c))) * 1099511628211ull;
    return static_cast<size_t>(h ^ (h >> 32));
}

bool VariableTable::NameEqual::operator()(std::string_view a, std::string_view b) const {
    return EqualNoCase(a, b);
}

const char* const kPredefinedNames[kPredefinedCount] = {
    "WINDOWS_PATH",   "WINDOWS_SYSTEM_PATH", "PROGRAM_FILES_PATH",  "TEMP_PATH",
    "USER_TEMP_PATH", "DESKTOP",             "USER_DESKTOP",        "START_MENU",
    "USER_START_MENU", "FONTS_PATH",         "USER_TEMPLATES_PATH", "TEMPLATES_PATH",
    "USER_MENU_PROGRAMS", "COMMON_MENU_PROGRAMS", "COMMON_APPDATA",
    "PROGRAM_FILES_X86_PATH", "PROGRAM_FILES_X64_PATH", "WINDOWS_SYSTEM_X86_PATH", "WINDOWS_SYSTEM_X64_PATH",
};

void VariableTable::UseSixtyFourBitFolders() {
    if (count() < kPredefinedCount) return;
    values[kWindowsSystemX64Entry] = values[kWindowsSystemEntry];
    values[kProgramFilesEntry] = values[kProgramFilesX64Entry];
}

void VariableTable::Clear() {
    names.clear();
    definitions.clear();
    values.clear();
    index_.clear();
    indexed_ = 0;
}

int VariableTable::AddEntry(const std::string& name, const std::string& definition,
                            const std::string& value) {
    names.push_back(name);
    definitions.push_back(definition);
    values.push_back(value);
    return count() - 1;
}

int VariableTable::FindIndex(const std::string& name) const {
    if (indexed_ > names.size()) {  // entries were removed behind our back
        index_.clear();
        indexed_ = 0;
    }
    for (; indexed_ < names.size(); ++indexed_)
        index_.emplace(names[indexed_], static_cast<int>(indexed_));  // the first one stays
    auto it = index_.find(std::string_view(name));
    if (it == index_.end()) return -1;
    // The index is only a shortcut: confirm against the entry itself.
    int i = it->second;
    if (i < count() && EqualNoCase(names[i], name) && i < static_cast<int>(values.size()))
        return i;
    for (int k = 0; k < count() && k < static_cast<int>(values.size()); ++k)
        if (EqualNoCase(names[k], name)) return k;
    return -1;
}

const std::string* VariableTable::FindValue(const std::string& name) const {
    int i = FindIndex(name);
    return i < 0 ? nullptr : &values[i];
}

int VariableTable::ExpandVariables(std::string& text, bool tolerant) {
    return Expand(text, tolerant, -1);
}

int VariableTable::ExpandWithoutReport(std::string& text) { return Expand(text, false, -1, false); }

// Every replacement restarts the search from the beginning of the text, so a
// value that itself holds references is expanded too. The search visits the
// percent signs in order and pairs each with the next one; a replacement
// changes nothing before its opening sign, so on the next pass every pair
// before it comes out the same. Only the pair that begins at the last sign
// before the replacement can change, its closing sign being gone. The search
// therefore resumes at that sign, which gives exactly the result of a restart
// at the beginning.
//
// The text is kept as the output so far (everything before the search
// position) and a stack of pending pieces: the rest of the caller's text and
// the values put in by replacements, read in place. A replacement thus costs
// its value and the stretch back to the previous sign, never a copy of the
// whole text.
//
// To stop a variable that refers to itself, every piece remembers the
// replacement that brought it in; a replacement's ancestry is the chain of
// variables whose values it came from. A reference to a variable already in
// the ancestry of the text it stands in would repeat forever.
int VariableTable::Expand(std::string& text, bool tolerant, int owner, bool report) {
    struct Node {
        int entry;   // the variable whose value this text came from (-1: none)
        int parent;  // the node of the text the reference stood in (-1: none)
        int depth;
    };
    struct Piece {
        const char* data;
        size_t size;
        int node;
    };
    struct Run {  // output characters [previous run's end, end) came from node
        size_t end;
        int node;
    };

    std::vector<Node> nodes{{owner, -1, 0}};
    if (text.find('%') == std::string::npos) return 1;
    // The caller's text is rebuilt at the end; until then its old content is
    // read in place (copied when it is itself one of the values).
    const std::less<const std::string*> before;
    const bool isValue = !values.empty() && !before(&text, values.data()) &&
                         before(&text, values.data() + values.size());
    const std::string source = isValue ? text : std::move(text);
    // The reported form holds what it adds for the rest of the reading: all
    // such expansions together may add kMaxExpansionGrowth. The silent form
    // looks ahead at texts it lets go again.
    const size_t room = growth_ < kMaxExpansionGrowth ? kMaxExpansionGrowth - growth_ : 0;
    const size_t limit = report ? std::min(kMaxExpandedText, source.size() + room) : kMaxExpandedText;
    size_t movedBackSize = 0;
    std::vector<std::unique_ptr<std::string>> movedBack;  // output stretches read again
    std::vector<Piece> pending;         // back() is read next
    size_t pendingSize = source.size();
    if (!source.empty()) pending.push_back({source.data(), source.size(), 0});
    std::string out;
    std::vector<Run> runs;
    std::vector<size_t> signs;  // positions of the percent signs in out
    size_t replacements = 0;

    // Moves n pending characters to the output (or drops them).
    auto advance = [&](size_t n, bool keep) {
        while (n > 0) {
            Piece& piece = pending.back();
            size_t k = n < piece.size ? n : piece.size;
            if (keep) {
                for (const char* p = piece.data; (p = static_cast<const char*>(std::memchr(
                                                      p, '%', k - (p - piece.data)))) != nullptr;
                     ++p)
                    signs.push_back(out.size() + static_cast<size_t>(p - piece.data));
                out.append(piece.data, k);
                if (!runs.empty() && runs.back().node == piece.node)
                    runs.back().end = out.size();
                else
                    runs.push_back({out.size(), piece.node});
            }
            piece.data += k;
            piece.size -= k;
            pendingSize -= k;
            n -= k;
            if (piece.size == 0) pending.pop_back();
        }
    };
    auto finish = [&](int result) {
        advance(pendingSize, true);
        text = std::move(out);
        if (report && text.size() > source.size()) growth_ += text.size() - source.size();
        return result;
    };
    auto commonAncestor = [&nodes](int a, int b) {
        while (nodes[a].depth > nodes[b].depth) a = nodes[a].parent;
        while (nodes[b].depth > nodes[a].depth) b = nodes[b].parent;
        while (a != b) {
            a = nodes[a].parent;
            b = nodes[b].parent;
        }
        return a;
    };

    for (;;) {
        // Up to the next percent sign.
        while (!pending.empty()) {
            const Piece& piece = pending.back();
            const void* sign = std::memchr(piece.data, '%', piece.size);
            if (sign) {
                advance(static_cast<size_t>(static_cast<const char*>(sign) - piece.data), true);
                break;
            }
            advance(piece.size, true);
        }
        if (pending.empty()) return finish(1);

        // The name runs to the next sign, which may lie in a later piece.
        const int openNode = pending.back().node;
        int closeNode = -1;
        std::string name;
        for (size_t i = pending.size(); i-- > 0;) {
            const Piece& piece = pending[i];
            size_t skip = (i == pending.size() - 1) ? 1 : 0;
            const char* from = piece.data + skip;
            size_t size = piece.size - skip;
            const void* sign = std::memchr(from, '%', size);
            if (sign) {
                name.append(from, static_cast<size_t>(static_cast<const char*>(sign) - from));
                closeNode = piece.node;
                break;
            }
            name.append(from, size);
        }
        if (closeNode < 0) return finish(1);  // a lone sign
        if (name.size() < 2) {  // "%x%" and "%%" are no references
            advance(1 + name.size(), true);
            continue;
        }
        int entry = FindIndex(name);
        if (entry < 0) {
            if (tolerant) {
                advance(1 + name.size(), true);
                continue;
            }
            if (report) ShowErrorDetail(0, kMsgUndefinedVariable, name, kBoxOk);
            return finish(0);
        }

        const int parent = commonAncestor(openNode, closeNode);
        bool selfReference = false;
        for (int n = parent; n >= 0 && !selfReference; n = nodes[n].parent)
            selfReference = nodes[n].entry == entry;
        const std::string& value = values[entry];
        if (selfReference || replacements >= kMaxReplacements || movedBackSize > kMaxMovedBack ||
            out.size() + pendingSize - (name.size() + 2) + value.size() > limit) {
            if (report) ShowErrorDetail(0, selfReference ? kMsgSelfReference : kMsgValueTooLong, name, kBoxOk);
            return finish(0);
        }

        advance(name.size() + 2, false);
        nodes.push_back({entry, parent, nodes[parent].depth + 1});
        if (!value.empty()) {
            pending.push_back({value.data(), value.size(), static_cast<int>(nodes.size() - 1)});
            pendingSize += value.size();
        }
        ++replacements;

        // Resume at the last sign before the reference: move that stretch of
        // the output back in front of the pending text.
        if (signs.empty()) continue;
        const size_t resume = signs.back();
        signs.pop_back();
        movedBack.push_back(std::make_unique<std::string>(out, resume));
        movedBackSize += out.size() - resume;
        const std::string& stretch = *movedBack.back();
        size_t runEnd = out.size();
        while (!runs.empty()) {
            size_t runStart = runs.size() > 1 ? runs[runs.size() - 2].end : 0;
            size_t from = runStart > resume ? runStart : resume;
            pending.push_back({stretch.data() + (from - resume), runEnd - from, runs.back().node});
            pendingSize += runEnd - from;
            if (runStart > resume) {
                runEnd = runStart;
                runs.pop_back();
            } else {
                if (runStart == resume) runs.pop_back(); else runs.back().end = resume;
                break;
            }
        }
        out.resize(resume);
    }
}

int VariableTable::ResolveDefinition(int index) {
    if (index < 0 || index >= count()) return 1;
    const std::string definition = definitions[index];
    size_t comma = definition.find(',');
    std::string fallback = TrimVariableText(std::string_view(definition).substr(0, comma));
    std::string reference =
        comma == std::string::npos
            ? std::string()
            : TrimVariableText(std::string_view(definition).substr(comma + 1));

    std::string& value = values[index];
    if (reference.empty()) {
        value = fallback;
        return Expand(value, false, index);
    }

    size_t first = reference.find('\\');
    if (first == std::string::npos) {  // no key path at all: the value stays empty
        value.clear();
        return 1;
    }
    size_t last = reference.rfind('\\');
    std::string rootName = reference.substr(0, first);
    std::string subkey;
    std::string valueName;
    if (first == last) {
        subkey = valueName = reference.substr(first + 1);
    } else {
        subkey = reference.substr(first + 1, last - first - 1);
        valueName = reference.substr(last + 1);
    }

    RegistryRoot root;
    std::string data;
    if (ParseRegistryRoot(rootName, root) && ReadRegistryText(root, subkey, valueName, data)) {
        value = data;  // registry data is taken as it is, not expanded
        return 1;
    }
    value = fallback;
    Expand(value, false, index);  // a failure here does not fail the entry
    return 1;
}

int VariableTable::ParseStringsSection(const std::string& section) {
    int32_t stop = stopRequested.load();
    if (section.empty()) return stop == 1 ? 0 : 1;

    SectionWalk walk(*this, section);
    const size_t more = walk.lines().size();
    names.reserve(names.size() + more);
    definitions.reserve(definitions.size() + more);
    values.reserve(values.size() + more);

    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) return 0;
        std::string name = TrimVariableText(line.substr(0, equals));
        if (!walk.Next(name)) break;

        int index = AddEntry(name, TrimVariableText(line.substr(equals + 1)), std::string());
        if (!ResolveDefinition(index)) return 0;
    }
    return walk.Finish();
}

int VariableTable::IsPredefinedFolder(const std::string& path) const {
    int n = count() < kPredefinedCount ? count() : kPredefinedCount;
    for (int i = 0; i < n && i < static_cast<int>(values.size()); ++i)
        if (EqualNoCase(values[i], path)) return 1;
    return 0;
}

void ParseMajorMinor(const std::string& versionText, int& minor, int& major) {
    size_t dot = versionText.find('.');
    if (dot == std::string::npos) return;
    major = ParseDecimal(std::string_view(versionText).substr(0, dot));
    minor = ParseDecimal(std::string_view(versionText).substr(dot + 1));
}

}  // namespace dp
