// Fuzzes the directory rules: the levels CreateDirectoryPath creates and the
// refusal of [DeleteDirectory] paths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "items/directories/directories.h"
#include "script/variable_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);

    size_t previous = 0;
    for (size_t length : dp::DirectoryLevelLengths(path)) {
        if (length <= previous || length >= path.size() || path[length] != '\\') std::abort();
        previous = length;
    }

    // The refusal does not depend on the kind of slash; a protected folder
    // and a root (or what is no full path) are always refused, and so is
    // every plain name inside the Windows folder.
    dp::ProtectedFolders folders;
    folders.trees = {"C:\\Windows"};
    folders.folders = {path};
    folders.containers = {path};
    if (path.find_first_of(".:/\\") == std::string::npos && !dp::IsProtectedDirectory("C:\\Windows\\" + path, folders))
        std::abort();
    std::string slashed = path;
    for (char& c : slashed)
        if (c == '\\') c = '/';
    if (dp::IsProtectedDirectory(path, folders) != dp::IsProtectedDirectory(slashed, folders)) std::abort();
    if (!dp::IsProtectedDirectory(path, folders)) std::abort();
    if (!dp::IsProtectedDirectory(path.substr(0, 2), {})) std::abort();

    dp::VariableTable variables;
    dp::DirectoryList list;
    dp::ParseDirectorySection(list, path, static_cast<int>(size & 1), variables);
    if (!path.empty() && static_cast<size_t>(list.count()) != static_cast<size_t>(dp::CountLines(path))) std::abort();
    (void)dp::ShortcutFolder(path);
    return 0;
}
