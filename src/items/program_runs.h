#pragma once
// Programs that the script runs first ([RunFileFirst]) and last ([RunFileEnd]).
#include <string>
#include <vector>

#include "base/reporting_base.h"
#include "items/step_context.h"

namespace dp {

class VariableTable;

constexpr int kRunPhaseFirst = 0;
constexpr int kRunPhaseEnd = 1;

// [RunFileFirst] and [RunFileEnd], in one list.
class RunFileList : public ReportingBase {
public:
    ~RunFileList() override = default;
    std::vector<std::string> lines;  // placeholder until the program runs are read
    std::vector<int> phases;
};

// Reads [RunFileFirst] (phase 0) or [RunFileEnd] (phase 1). 1, or 0 for a
// line without "=" or a confirmed Stop.
int ParseRunFiles(RunFileList& list, const std::string& section, int phase, VariableTable& variables);
// Runs the entries of the phase in list order. 1 when all were handled, or
// the wrong exit code of a waited program (which stops the runs).
int RunFiles(RunFileList& list, int phase, StepContext& step);

}  // namespace dp
