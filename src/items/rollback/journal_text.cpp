#include "items/rollback/journal_text.h"

#include <algorithm>

namespace dp {
namespace {

bool IsKnownKind(std::string_view kind) {
    using namespace journal;
    for (std::string_view k : {kBegin, kFileNew, kFileSaved, kFolderNew, kFolderSaved, kFolderGone, kRebootReplace,
                               kValue, kKeyNew, kKeyTree, kSubstitute, kFontAdded, kFontRemoved, kServer, kProgram,
                               kList, kRunOnce, kRebootWait, kRollback, kUndone})
        if (k == kind) return true;
    return false;
}

// Whether the record is a change that can be (or must be said not to be) undone.
bool IsChange(std::string_view kind) {
    using namespace journal;
    return IsKnownKind(kind) && kind != kBegin && kind != kRebootWait && kind != kRollback && kind != kUndone;
}

void Escape(std::string_view field, std::string& out) {
    for (char c : field) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}

bool Unescape(std::string_view field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) return false;
        switch (field[i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: return false;
        }
    }
    return true;
}

}  // namespace

const std::string& JournalRecord::field(size_t i) const {
    static const std::string none;
    return i < fields.size() ? fields[i] : none;
}

std::string EncodeJournalRecord(const JournalRecord& record) {
    std::string line = record.kind;
    for (const std::string& f : record.fields) {
        line += '\t';
        Escape(f, line);
    }
    line += '\n';
    return line;
}

JournalContents ParseJournal(std::string_view text) {
    JournalContents contents;
    size_t at = text.find('\n');
    if (at == std::string_view::npos || text.substr(0, at) != kJournalHeader) return contents;
    contents.recognised = true;
    ++at;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            contents.cut = true;  // the last line was being written
            break;
        }
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        JournalRecord record;
        size_t start = 0;
        bool ok = true;
        for (bool first = true;; first = false) {
            const size_t tab = line.find('\t', start);
            const std::string_view part = line.substr(start, tab == std::string_view::npos ? line.npos : tab - start);
            if (first) {
                record.kind.assign(part);
            } else {
                std::string field;
                ok = ok && Unescape(part, field);
                record.fields.push_back(std::move(field));
            }
            if (tab == std::string_view::npos) break;
            start = tab + 1;
        }
        if (!ok || !IsKnownKind(record.kind)) {
            contents.cut = true;
            break;
        }
        contents.records.push_back(std::move(record));
    }
    return contents;
}

std::vector<size_t> RecordsToUndo(const std::vector<JournalRecord>& records) {
    size_t begin = 0;
    for (size_t i = 0; i < records.size(); ++i)
        if (records[i].kind == journal::kBegin) begin = i;
    std::vector<bool> undone(records.size(), false);
    for (const JournalRecord& r : records) {
        if (r.kind != journal::kUndone) continue;
        const std::string& n = r.field(0);
        size_t number = 0;
        bool digits = !n.empty() && n.size() < 10;
        for (char c : n) digits = digits && c >= '0' && c <= '9';
        if (!digits) continue;
        number = static_cast<size_t>(std::stoul(n));
        if (number < undone.size()) undone[number] = true;
    }
    std::vector<size_t> todo;
    for (size_t i = records.size(); i-- > begin;)
        if (IsChange(records[i].kind) && !undone[i]) todo.push_back(i);
    return todo;
}

bool WaitsForReboot(const std::vector<JournalRecord>& records) {
    // Waiting when the run's last word is that it waits: anything after it
    // (the run after the reboot went on, or a rollback began) says otherwise.
    return !records.empty() && records.back().kind == journal::kRebootWait;
}

std::string HexOf(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

bool BytesOfHex(std::string_view hex, std::string& bytes) {
    if (hex.size() % 2) return false;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

}  // namespace dp
