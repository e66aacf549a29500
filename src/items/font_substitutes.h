#pragma once
// [SetFontSubstitutes] and [DeleteFontSubstitutes].
#include <cstdio>

namespace dp {

class FontSubstituteList;

// Writes every entry of the list, logging failures. Always 1.
int ApplyFontSubstitutes(FontSubstituteList& list, std::FILE* log);

}  // namespace dp
