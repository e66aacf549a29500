#pragma once
// What the font operations decide from names and bytes alone: which fonts are
// TrueType by their name, where their resource file goes, the names they are
// registered under, and the full name a font file gives itself (its "name"
// table; TrueType, OpenType and the first font of a collection).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace dp {

// A TrueType font by its file name: the name ends with ".ttf" (lower case).
bool IsTrueTypeName(std::string_view fileName);

// The font resource file of a TrueType font: the temporary folder (ending
// with a backslash), the font's file name without ".ttf", and ".fot".
std::string FontResourcePath(std::string_view tempFolder, std::string_view fontFileName);

// The value name under which the system loads the font at start:
// "<face name> (TrueType)" for a TrueType font, else the face name.
std::string FontValueName(std::string_view faceName, bool trueType);

// The value's data: the file name when the font lies in the fonts folder
// (compared without regard to ASCII case), else its full path.
std::string FontValueData(std::string_view fontPath, std::string_view fileName,
                          std::string_view fontsFolder);

// Gives at most `size` bytes of the font file from `offset` on (fewer at its
// end); false when the file cannot be read.
using FontFileReader = std::function<bool(uint64_t offset, uint32_t size, std::string& bytes)>;

// The full name (name id 4) of the font, from a Windows record (US English
// first) or else a Macintosh Roman one, as UTF-16; empty when the file is not
// such a font or has no usable full name.
std::u16string FontFullName(const FontFileReader& read);
// The same from the bytes of a "name" table.
std::u16string FullNameFromNameTable(std::string_view table);

}  // namespace dp
