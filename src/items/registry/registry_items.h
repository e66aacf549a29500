#pragma once
// Registry values the script writes ([InstallRegEntries]) and keys it deletes
// ([DeleteRegEntries]).
#include <string>
#include <vector>

#include "items/step_context.h"

namespace dp {

class VariableTable;

// Registry values to write ([InstallRegEntries]).
class RegEntryList {
public:
    virtual ~RegEntryList() = default;
    std::vector<std::string> lines;  // placeholder until registration files are read
};

// Registry keys to delete ([DeleteRegEntries]).
class RegKeyList {
public:
    virtual ~RegKeyList() = default;
    std::vector<std::string> keys;  // placeholder until key files are read
};

int ParseInstallRegEntries(RegEntryList& list, const std::string& section, VariableTable& variables);
int ParseDeleteRegEntries(RegKeyList& list, const std::string& section, VariableTable& variables);
// Writes the values of the registration files. Non-zero when every key could
// be opened; 0 when it stopped at a key that could not be opened.
int WriteRegEntries(RegEntryList& entries, StepContext& step);
// Deletes the listed keys. Non-zero.
int DeleteRegKeys(RegKeyList& keys, StepContext& step);

}  // namespace dp
