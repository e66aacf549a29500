#pragma once
// Programs that the script runs first ([RunFileFirst]) and last ([RunFileEnd]).
#include <cstdio>

namespace dp {

class RunFileList;

constexpr int kRunPhaseFirst = 0;
constexpr int kRunPhaseEnd = 1;

// Runs the entries of the phase in list order. 1 when all were handled, or
// the wrong exit code of a waited program (which stops the runs).
int RunFiles(RunFileList& list, int phase, std::FILE* log);

}  // namespace dp
