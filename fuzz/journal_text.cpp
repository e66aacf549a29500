// The rollback journal's reader on any bytes: it never reads past them, what
// it takes is written back to the same records, and what is left to undo
// names only records it read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "items/rollback/journal_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& input : {text, std::string(dp::kJournalHeader) + "\n" + text}) {
        const dp::JournalContents read = dp::ParseJournal(input);
        if (!read.recognised && !read.records.empty()) std::abort();
        std::string again = std::string(dp::kJournalHeader) + "\n";
        for (const dp::JournalRecord& r : read.records) again += dp::EncodeJournalRecord(r);
        const dp::JournalContents reread = dp::ParseJournal(again);
        if (reread.cut || reread.records.size() != read.records.size()) std::abort();
        for (size_t i = 0; i < read.records.size(); ++i)
            if (reread.records[i].kind != read.records[i].kind || reread.records[i].fields != read.records[i].fields)
                std::abort();
        for (size_t n : dp::RecordsToUndo(read.records))
            if (n >= read.records.size()) std::abort();
    }
    std::string bytes;
    if (dp::BytesOfHex(text, bytes) && dp::HexOf(bytes).size() != text.size()) std::abort();
    return 0;
}
