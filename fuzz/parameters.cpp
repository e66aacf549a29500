// [Parameters] over arbitrary section texts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/install_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    dp::InstallScript script("C:\\P\\");
    int result = script.ParseParameters(std::string(reinterpret_cast<const char*>(data), size));
    if (result != 0 && result != 1) std::abort();
    if (static_cast<int>(script.logLevel) < 0 || static_cast<int>(script.logLevel) > 2) std::abort();
    if (script.testInstall != 0 && script.testInstall != 1) std::abort();
    // The log path is the default one or a value out of the text.
    if (script.logPath != "C:\\P\\kitup.log" && script.logPath.size() > size) std::abort();
    return 0;
}
