// Writing the system's FontSubstitutes profile section.
#include <windows.h>

#include "base/log_text.h"
#include "base/seam.h"
#include "items/font_substitutes/font_substitutes.h"
#include "items/font_substitutes/font_substitutes_win32.h"
#include "items/rollback/journal_win32.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

uint32_t RealWrite(const std::string& name, const std::optional<std::string>& value) {
    const BOOL ok = WriteProfileStringA("FontSubstitutes", name.c_str(), value ? value->c_str() : nullptr);
    return ok ? 0 : GetLastError();
}
Seam<uint32_t(const std::string&, const std::optional<std::string>&)> g_write(&RealWrite);

// The substitute the profile section holds for a name, if any.
std::optional<std::string> ReadSubstitute(const std::string& name) {
    // A default no value can hold tells a missing key from an empty one.
    static const char kNone[] = "\x01\x02none";
    std::string value(1024, '\0');
    for (;;) {
        const DWORD n = GetProfileStringA("FontSubstitutes", name.c_str(), kNone, value.data(),
                                          static_cast<DWORD>(value.size()));
        if (n + 1 < value.size() || value.size() >= (1u << 20)) {
            value.resize(n);
            break;
        }
        value.assign(value.size() * 2, '\0');
    }
    if (value == kNone) return std::nullopt;
    return value;
}
std::optional<std::string> (*const g_read)(const std::string&) = &ReadSubstitute;

}  // namespace

SubstituteWriter SetSubstituteWriterForTesting(SubstituteWriter writer) { return g_write.Replace(std::move(writer)); }

namespace {

// One entry: its value written, or its key removed.
class FontSubstituteItem : public WorkItem {
public:
    FontSubstituteItem(std::string name, std::optional<std::string> value)
        : name_(std::move(name)), value_(std::move(value)) {}

    PlanRow Describe() const override {
        return PlanRow{"", value_ ? "set substitute" : "delete substitute", name_, value_.value_or("")};
    }

    ItemResult Do(StepContext& step) override {
        if (step.journal) {
            const std::optional<std::string> old = g_read(name_);
            if (const Status noted = step.journal->Record({journal::kSubstitute, {name_, old ? "1" : "0", old.value_or("")}});
                !noted.ok())
                return ItemResult::Failed(noted.code(), JournalFailureText(noted.code()), Report::kLog);
        }
        const uint32_t error = g_write(name_, value_);
        if (error == 0) return ItemResult::Done();
        return ItemResult::Failed(error, FormatLogMessage(error, kMsgErrorFontSubstitutes, name_), Report::kLog);
    }

    Check Verify() const override {
        const std::optional<std::string> found = g_read(name_);
        if (!value_) return Check::Absent(found.has_value(), found ? "\"" + *found + "\"" : std::string());
        if (found == value_) return Check::Matches();
        return Check::Differs("\"" + *value_ + "\"", found ? "\"" + *found + "\"" : "absent");
    }

private:
    std::string name_;
    std::optional<std::string> value_;
};

}  // namespace

void AddFontSubstitutes(const FontSubstituteList& list, WorkItems& items) {
    for (size_t i = 0; i < list.names.size(); ++i)
        items.push_back(std::make_unique<FontSubstituteItem>(list.names[i], list.values[i]));
}

}  // namespace dp
