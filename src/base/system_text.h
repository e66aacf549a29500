#pragma once
// Texts that come from the running system: the program's string table and the
// system's explanation of an error code. On Windows these are LoadStringA and
// FormatMessageA; the portable core's native build uses the same string table
// compiled in, and a plain "System error N." text.
#include <cstdint>
#include <string>
#include <string_view>

namespace dp {

// The string-table text with this id, at most 259 characters; "" when the
// table has no such id.
std::string LoadMessage(int id);

// The system's text for an error code, as the system gives it (usually ending
// with a line break); "" when there is none.
std::string SystemErrorText(uint32_t code);

// The compiled-in string table (the same texts as the resource string table).
// Returns nullptr for an unknown id.
const char* BuiltInMessage(int id);

// A UTF-16 text in the system code page (characters it lacks become "?").
std::string ToSystemCodePage(std::u16string_view text);
// The same, exactly: false (and the text empty) when the code page cannot
// hold a character as it is (no replacement, no nearest look-alike).
bool ToSystemCodePageExactly(std::u16string_view text, std::string& out);

// A text in the system code page as UTF-16 (the native build reads it as
// Latin-1, every byte one character).
std::u16string FromSystemCodePage(std::string_view text);

// Whether the byte starts a double-byte character in the system code page
// (never outside Windows).
bool IsSystemLeadByte(unsigned char byte);

}  // namespace dp
