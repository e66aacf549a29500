#include "engine/install_context.h"

#include "app/run_flags.h"

namespace dp {

InstallContext::InstallContext(InstallScript* script) : script(script) { installCancelled = 0; }

InstallContext::~InstallContext() = default;

}  // namespace dp
