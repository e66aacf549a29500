#pragma once
// The install sequence, written once: the steps of the install and end
// phases in their order, each with its section text, log heading and the
// families whose work items it holds. The phases that run and the plan that
// describes them are built from it.
#include <vector>

#include "engine/work_runner.h"

namespace dp {

class InstallScript;

// The work lists of the two phases, built from the model after the reading
// (and after the module selection). Windows only.
WorkPhase BuildInstallPhase(InstallScript& script);
WorkPhase BuildEndPhase(InstallScript& script);

// Every counted item of both phases, in the order the run would handle them
// (the end phase's as an ordinary run would build it), handed to `visit` one
// at a time. Windows only.
void DescribeInstallPlan(InstallScript& script, const std::function<void(PlanRow&&)>& visit);

}  // namespace dp
