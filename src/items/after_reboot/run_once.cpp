#include "items/after_reboot/run_once.h"

namespace dp {

std::string ComposeRunOnceCommand(const std::string& exePath, const std::string& commandLine) {
    return "\"" + exePath + "\" " + commandLine + " -AFTERREBOOT";
}

}  // namespace dp
