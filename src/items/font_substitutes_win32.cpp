// Writing the system's FontSubstitutes profile section.
#include <windows.h>

#include "base/log_text.h"
#include "base/seam.h"
#include "items/font_substitutes.h"
#include "items/font_substitutes_win32.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

uint32_t RealWrite(const std::string& name, const std::optional<std::string>& value) {
    const BOOL ok = WriteProfileStringA("FontSubstitutes", name.c_str(), value ? value->c_str() : nullptr);
    return ok ? 0 : GetLastError();
}
Seam<uint32_t(const std::string&, const std::optional<std::string>&)> g_write(&RealWrite);

}  // namespace

SubstituteWriter SetSubstituteWriterForTesting(SubstituteWriter writer) { return g_write.Replace(std::move(writer)); }

int ApplyFontSubstitutes(FontSubstituteList& list, StepContext& step) {
    for (size_t i = 0; i < list.names.size(); ++i) {
        if (step.isCancelled()) break;
        const uint32_t error = g_write(list.names[i], list.values[i]);
        if (error != 0) step.LogMessage(error, kMsgErrorFontSubstitutes, list.names[i]);
    }
    return 1;
}

}  // namespace dp
