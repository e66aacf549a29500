#pragma once
// The text of a script or registration file from its bytes: 8-bit text in the
// system code page as it stands, or text in a Unicode form announced by a
// byte-order mark, converted to the system code page. Linear time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dp {

// The largest script or registration file the reading takes (its texts are
// held a few times over while it is read).
constexpr uint64_t kMaxTextFileSize = uint64_t{64} << 20;

enum class FileTextError {
    kNone,
    kBadUnicode,       // not valid UTF-8 or UTF-16 after its byte-order mark
    kNotInCodePage,    // a character the system code page cannot hold
};

// The text of a file's bytes. Without a byte-order mark the bytes are the
// text. After the mark of UTF-8 (EF BB BF), UTF-16 little-endian (FF FE) or
// big-endian (FE FF) the rest is decoded and converted to the system code
// page; the mark itself goes. On an error the text is left empty.
FileTextError TextFromFileBytes(std::string_view bytes, std::string& text);

// The UTF-16 code units of a UTF-8 text; false for an ill-formed one
// (overlong forms, surrogates, values beyond U+10FFFF, cut sequences).
bool Utf8ToUtf16(std::string_view utf8, std::u16string& out);

}  // namespace dp
