#pragma once
// The text of registration files and key files turned into registry entries
// and key paths, and the reading of key paths that the writer and the
// deleter share (the rule on what may be deleted: protected_keys.h). Pure
// functions of their text (and the variables); linear time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "items/registry/registry_items.h"
#include "script/registry_text.h"

namespace dp {

// Longest key path a registration file or a key file may name.
constexpr size_t kMaxRegKeyPath = 259;
// Longest piece between two commas of a binary value.
constexpr size_t kMaxRegByteToken = 9;

// The file that a section line "label=file" names: the text after the first
// "=", without blanks and line ends around it; used as it is when it holds
// ":\", else put after the program directory. No variables are expanded.
// False when the line has no "=".
bool RegFilePathFromLine(std::string_view line, const std::string& programDirectory,
                         std::string& path);

// A registration file's text as ParseRegFile takes it: every run of empty
// lines ("\r\n\r\n") made one line end. False, with the text untouched, for
// a text that holds a zero byte: no text file does, so the whole file breaks
// the format.
bool PrepareRegFileText(std::string& text);
// A key file's text as ParseRegKeyFile takes it: comments removed (";" up to
// and including the next line feed, which joins text before it to the next
// line), then the empty lines. False for a zero byte, as above.
bool PrepareKeyFileText(std::string& text);

// Appends the values of one registration file (its text after
// PrepareRegFileText). 1, or 0 at the first line that breaks the format; the entries of
// the lines before it stay in the list. REG_SZ data is expanded with undefined
// variables left as written.
//
// The format: a line with "=" is a value line, any other a key line
// "[ROOT\path]" (the path at most kMaxRegKeyPath characters and holding a
// backslash) that the value lines after it belong to. Value line:
// "name"=value or @=value, where value is a quoted string (\" stands for a
// quote), dword:hex digits, or hex:, hex(2):, hex(7): followed by
// comma-separated bytes. The value part is searched for the type keywords
// dword:, hex(2):, hex:, hex(7): in this order, the last one found counting.
int ParseRegFile(RegEntryList& list, std::string_view text, VariableTable& variables);

// Appends the key path of every line that holds a "[" (the text after it, up
// to a "]" if there is one). 1, or 0 at a key path longer than kMaxRegKeyPath
// (the paths before it stay). Nothing is expanded.
int ParseRegKeyFile(RegKeyList& list, std::string_view text, VariableTable& variables);

// Replaces every \" by ", again and again until none is left (so every
// backslash right before a quote goes), in place.
void UnescapeQuotes(std::string& text);

// The REG_DWORD value of a data text: hexadecimal, leading white space and a
// 0x prefix allowed, up to the first other character; no digits give 0, a
// number beyond 32 bits gives FFFFFFFF.
uint32_t DwordFromText(std::string_view text);

// The root of a key path: the name before the first backslash, after blanks
// and the "-" of the export format's deletion form, spelled exactly as a
// short or long root name (HKCU, HKEY_CURRENT_USER, ...). A root name
// further inside the path does not count.
bool RootFromKeyPath(std::string_view keyPath, RegistryRoot& root);

// A key path cut at its first backslash: the root name before it, the subkey
// path after it (none without a backslash).
struct KeyPathParts {
    std::string_view rootName;
    std::string_view subkey;
    bool hasBackslash;
};
KeyPathParts SplitKeyPath(std::string_view keyPath);

}  // namespace dp
