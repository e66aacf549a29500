#pragma once
// The plan of a run: what the install and end phases would do to each item,
// in their order, as tab-separated text, without doing any of it.
#include <string>
#include <vector>

#include "items/work_item.h"

namespace dp {

// A header line and one line per row, fields separated by tabs; tabs and
// line ends inside a field become blanks.
std::string FormatPlan(const std::vector<PlanRow>& rows);

}  // namespace dp
