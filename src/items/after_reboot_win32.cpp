// What the install phase leaves for the run after a reboot.
#include <windows.h>

#include "app/program_win32.h"
#include "app/win32_handles_win32.h"
#include "engine/install_context.h"
#include "items/com_registration.h"
#include "items/run_once.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "script/install_script.h"

namespace dp {
void WriteRunOnceEntry(const std::string& commandLine) {
    const std::string keyName = std::string("HKEY_LOCAL_MACHINE\\") + kRunOnceKeyPath;
    const std::string data = ComposeRunOnceCommand(ExecutablePath(), commandLine);
    UniqueKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, 0, KEY_WRITE, key.put());
    if (rc != ERROR_SUCCESS) {
        ShowErrorDetail(static_cast<uint32_t>(rc), kMsgErrorOpeningKeyOfRegistry, keyName, kBoxOk);
        return;
    }
    rc = RegSetValueExA(key.get(), kRunOnceValueName, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
    if (rc != ERROR_SUCCESS) {
        ShowErrorDetail(static_cast<uint32_t>(rc), kMsgErrorWritingRegistryValue,
                        keyName + " " + kRunOnceValueName + "=" + data, kBoxOk);
    }
}

void RegisterRunOnce(InstallContext& context) { WriteRunOnceEntry(context.script->commandLine); }

}  // namespace dp
