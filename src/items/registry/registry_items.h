#pragma once
// Registry values the script writes ([InstallRegEntries]) and keys it deletes
// ([DeleteRegEntries]).
#include <cstdio>

namespace dp {

class RegEntryList;
class RegKeyList;

// Writes the values of the registration files. Non-zero when every key could
// be opened; 0 when it stopped at a key that could not be opened.
int WriteRegEntries(RegEntryList& entries, std::FILE* log);
// Deletes the listed keys. Non-zero.
int DeleteRegKeys(RegKeyList& keys, std::FILE* log);

}  // namespace dp
