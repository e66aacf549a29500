// The parts of the model that need nothing from the system.
#include "model/install_script.h"

#include "base/target_architecture.h"

namespace dp {

InstallScript* currentScript = nullptr;

InstallScript::InstallScript(const std::string& programDir)
    : programDirectory(programDir), variables(std::make_unique<VariableTable>()) {
    logPath = programDirectory + kDefaultLogName;
    variables->programDirectory = programDirectory;
}

// The lists go in the reverse of their declaration order, as members do.
InstallScript::~InstallScript() {
    if (tookSixtyFourBit_) SetSixtyFourBitTargets(false);
}

}  // namespace dp
