#include "base/target_architecture.h"

#include <atomic>
#include <string>
#include <vector>

#include "base/text.h"

namespace dp {
namespace {

std::atomic<bool> g_sixtyFourBit{false};

// The parts of a key path between its backslashes, empty ones left out.
std::vector<std::string_view> KeyParts(std::string_view subkey) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    while (begin <= subkey.size()) {
        size_t end = subkey.find('\\', begin);
        if (end == std::string_view::npos) end = subkey.size();
        if (end > begin) parts.push_back(subkey.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && EqualNoCase(text.substr(text.size() - end.size()), end);
}

// "Software\Classes" at parts[at] and parts[at + 1].
bool ClassesAt(const std::vector<std::string_view>& parts, size_t at) {
    return parts.size() > at + 1 && EqualNoCase(parts[at], "Software") && EqualNoCase(parts[at + 1], "Classes");
}

}  // namespace

bool SixtyFourBitTargets() { return g_sixtyFourBit.load(std::memory_order_relaxed); }
void SetSixtyFourBitTargets(bool on) { g_sixtyFourBit.store(on, std::memory_order_relaxed); }

bool HasTwoRegistryViews(RegistryHive hive, std::string_view subkey) {
    const std::vector<std::string_view> parts = KeyParts(subkey);
    switch (hive) {
    case RegistryHive::kClassesRoot: return true;
    case RegistryHive::kLocalMachine: return !parts.empty() && EqualNoCase(parts[0], "SOFTWARE");
    case RegistryHive::kCurrentUser: return ClassesAt(parts, 0);
    case RegistryHive::kUsers:
        return (!parts.empty() && EndsWithNoCase(parts[0], "_Classes")) || ClassesAt(parts, 1);
    case RegistryHive::kOther: return false;
    }
    return false;
}

}  // namespace dp
