#include "base/target_architecture_win32.h"

#include "base/program_win32.h"
#include "base/seam.h"

namespace dp {
namespace {

bool SystemAnswer() { return RunsOnSixtyFourBitSystem(); }
Seam<bool()> g_bitness(&SystemAnswer);

RegistryHive HiveOf(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return RegistryHive::kClassesRoot;
    if (root == HKEY_LOCAL_MACHINE) return RegistryHive::kLocalMachine;
    if (root == HKEY_CURRENT_USER) return RegistryHive::kCurrentUser;
    if (root == HKEY_USERS) return RegistryHive::kUsers;
    return RegistryHive::kOther;
}

std::u16string Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(wide.data()), n);
    return wide;
}

NativeSystemFolder FindNativeSystemFolder() {
    NativeSystemFolder names;
    if (!RunsOnSixtyFourBitSystem()) return names;  // one system folder, no alias
    std::string system = SystemDirectory();
    std::string windows = WindowsDirectory();
    while (!system.empty() && system.back() == '\\') system.pop_back();
    while (!windows.empty() && windows.back() == '\\') windows.pop_back();
    if (system.empty() || windows.empty()) return names;
    names.real = system;
    names.alias = windows + "\\Sysnative";
    names.realWide = Wide(names.real);
    names.aliasWide = Wide(names.alias);
    return names;
}

// Both looked up before redirection is turned off (systems before them
// have none).
struct RedirectionFunctions {
    using Disable = BOOL(WINAPI*)(PVOID*);
    using Revert = BOOL(WINAPI*)(PVOID);
    RedirectionFunctions() {
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        disable = kernel ? ProcAddress<Disable>(kernel, "Wow64DisableWow64FsRedirection") : nullptr;
        revert = kernel ? ProcAddress<Revert>(kernel, "Wow64RevertWow64FsRedirection") : nullptr;
    }
    Disable disable = nullptr;
    Revert revert = nullptr;
};

const RedirectionFunctions& Redirection() {
    static const RedirectionFunctions functions;
    return functions;
}

}  // namespace

bool SystemIsSixtyFourBit() { return g_bitness(); }

SystemBitnessFunction SetSystemBitnessForTesting(SystemBitnessFunction function) {
    return g_bitness.Replace(std::move(function));
}

REGSAM TargetView(HKEY root, std::string_view subkey) {
    return SixtyFourBitTargets() && HasTwoRegistryViews(HiveOf(root), subkey) ? KEY_WOW64_64KEY : 0;
}

const NativeSystemFolder& NativeSystemFolderNames() {
    static const NativeSystemFolder names = FindNativeSystemFolder();
    return names;
}

RedirectionOff::RedirectionOff() {
    const RedirectionFunctions& f = Redirection();
    off_ = f.disable && f.revert && f.disable(&old_);
}

RedirectionOff::~RedirectionOff() {
    if (off_) Redirection().revert(old_);
}

}  // namespace dp
