// The RunOnce start of the run after a reboot.
#include <windows.h>

#include "base/program_win32.h"
#include "base/handles_win32.h"
#include "items/after_reboot/run_once.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {
bool WriteRunOnceEntry(const std::string& commandLine) {
    const std::string keyName = std::string("HKEY_LOCAL_MACHINE\\") + kRunOnceKeyPath;
    const std::string data = ComposeRunOnceCommand(ExecutablePath(), commandLine);
    UniqueKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, 0, KEY_WRITE, key.put());
    if (rc != ERROR_SUCCESS) {
        ShowErrorDetail(static_cast<uint32_t>(rc), kMsgErrorOpeningKeyOfRegistry, keyName, kBoxOk);
        return false;
    }
    rc = RegSetValueExA(key.get(), kRunOnceValueName, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
    if (rc != ERROR_SUCCESS) {
        ShowErrorDetail(static_cast<uint32_t>(rc), kMsgErrorWritingRegistryValue,
                        keyName + " " + kRunOnceValueName + "=" + data, kBoxOk);
        return false;
    }
    return true;
}

}  // namespace dp
