// What the COM registration and the after-reboot lists decide, apart from
// the registry and the loader.
#include "items/com/com_registration.h"

#include <cstdio>

#include "items/files/file_list.h"

namespace dp {
namespace {

uint32_t Little32(const std::string& b, size_t at) {
    return uint32_t{static_cast<uint8_t>(b[at])} | (uint32_t{static_cast<uint8_t>(b[at + 1])} << 8) |
           (uint32_t{static_cast<uint8_t>(b[at + 2])} << 16) |
           (uint32_t{static_cast<uint8_t>(b[at + 3])} << 24);
}

bool IsMarkedInstall(const FileItem& it) { return it.selected && !it.deleteItem; }

}  // namespace

std::vector<const FileItem*> ComServerItemsToRegister(const FileList& files) {
    std::vector<const FileItem*> servers;
    for (int system = 1; system >= 0; --system)
        for (const FileItem& it : files.items)
            if (IsMarkedInstall(it) && it.registerFile && (it.system != 0) == (system != 0))
                servers.push_back(&it);
    return servers;
}

std::vector<std::string> ComServersToRegister(const FileList& files) {
    std::vector<std::string> paths;
    for (const FileItem* it : ComServerItemsToRegister(files)) paths.push_back(it->targetPath);
    return paths;
}

std::vector<std::string> FilesToFinish(const FileList& files, bool leaveFinished) {
    std::vector<std::string> paths;
    for (const FileItem& it : files.items)
        if (IsMarkedInstall(it) && !(leaveFinished && it.finished)) paths.push_back(it.targetPath);
    return paths;
}

std::vector<std::string> ComServersToUnregister(const FileList& files) {
    std::vector<std::string> paths;
    for (const FileItem& it : files.items)
        if (it.selected && it.deleteItem && it.registerFile && it.targetExists)
            paths.push_back(it.targetPath);
    return paths;
}

std::string StoredPathData(const std::string& path) {
    std::string data = path;
    data.resize(path.size() + 1 > kStoredPathSize ? path.size() + 1 : kStoredPathSize, '\0');
    return data;
}

std::string PathFromStoredData(const std::string& data) { return data.substr(0, data.find('\0')); }

bool ParseListIndex(const std::string& name, size_t count, size_t& index) {
    if (name.empty() || name.size() > 9) return false;
    size_t value = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    if (value >= count) return false;
    index = value;
    return true;
}

uint16_t ImageMachine(const std::string& head) {
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') return 0;
    const uint64_t header = Little32(head, 0x3c);
    if (header + 6 > head.size()) return 0;
    const size_t at = static_cast<size_t>(header);
    if (Little32(head, at) != 0x00004550 /* "PE\0\0" */) return 0;
    return static_cast<uint16_t>(static_cast<uint8_t>(head[at + 4]) |
                                 (static_cast<uint8_t>(head[at + 5]) << 8));
}

bool IsSixtyFourBitMachine(uint16_t machine) { return machine == 0x8664 || machine == 0xaa64; }

std::string HresultText(uint32_t result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

std::string ComposeComFailure(const std::string& message, const std::string& detail,
                              const std::string& systemText) {
    std::string text = message + " " + detail + ".";
    if (!systemText.empty()) text += " " + systemText;
    return text;
}

}  // namespace dp
