#pragma once
// The profile write of the font substitutes, replaceable by a test that
// needs a write to fail.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dp {

// Writes one key (no value: removes it); 0, or the system's error.
using SubstituteWriter = std::function<uint32_t(const std::string& name, const std::optional<std::string>& value)>;
// Puts the writer in place (empty: the system's call again); returns the one before.
SubstituteWriter SetSubstituteWriterForTesting(SubstituteWriter writer);

}  // namespace dp
