// Native (non-Windows) build only: there is no registry; tests install a fake
// reader with SetRegistryTextReader.
#include "script/registry_text.h"

namespace dp {

bool PlatformReadRegistryText(RegistryRoot, const std::string&, const std::string&, std::string&) {
    return false;
}

}  // namespace dp
