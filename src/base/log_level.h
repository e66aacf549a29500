#pragma once
// How much a run writes to its log.
#include <cstdint>

namespace dp {

// The numbers are those the script's [Parameters] and the model have always
// used: 0 nothing, 1 everything, 2 the short form.
enum class LogLevel : int32_t { None = 0, Full = 1, Short = 2 };

}  // namespace dp
