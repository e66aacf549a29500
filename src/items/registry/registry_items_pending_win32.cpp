// Placeholder until the registry reader, writer and deleter are written (that
// change replaces this file): the sections are read over; nothing is written
// or deleted.
#include "items/registry/registry_items.h"

namespace dp {

int ParseInstallRegEntries(RegEntryList&, const std::string&, VariableTable&) { return 1; }
int ParseDeleteRegEntries(RegKeyList&, const std::string&, VariableTable&) { return 1; }
int WriteRegEntries(RegEntryList&, StepContext&) { return 1; }
int DeleteRegKeys(RegKeyList&, StepContext&) { return 1; }

}  // namespace dp
