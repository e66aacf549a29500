// Placeholder until the registry writer and deleter are written (that change
// replaces this file): writes and deletes nothing.
#include "items/registry/registry_items.h"

namespace dp {

int WriteRegEntries(RegEntryList&, std::FILE*) { return 1; }
int DeleteRegKeys(RegKeyList&, std::FILE*) { return 1; }

}  // namespace dp
