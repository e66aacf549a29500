#include "base/registry_win32.h"

namespace dp {

Status CreateAndOpenKey(HKEY parent, const std::string& subkey, REGSAM access, UniqueKey& key) {
    const LONG rc = RegCreateKeyExA(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                    key.put(), nullptr);
    return Status(static_cast<uint32_t>(rc));
}

}  // namespace dp
