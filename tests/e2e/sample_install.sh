#!/usr/bin/env bash
# End to end: deployator.exe installs the sample (examples/sample) under Wine,
# after checking it (-CHECK=: no finding).
# The package lacks manual.txt, and the robot answers the missing-source
# prompt with Cancel (the file is then neither installed nor logged); then the
# files on disk, the shortcut, the font and the log's lines are checked. A
# second run, of remove.ini, takes the shortcut and the font away again.
#   sample_install.sh BUILD      (BUILD: the Windows build tree)
set -euo pipefail
build="$(cd "${1:?build directory}" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/tools/wine-env" "$build"
"$root/tools/wine-harness" reset "$build"

dir="$WINEPREFIX/drive_c/e2e/sample"
wdir='C:\e2e\sample'
rm -rf "$dir"
mkdir -p "$dir"
cp -r "$root/examples/sample/." "$dir/"
cp "$build/deployator.exe" "$dir/"
"$dir/prepare.sh" "$build" "$dir"

# The sample, as tools/demo installs it, checks clean: no finding, exit code 0.
set +e
findings="$(cd "$dir" && wine deployator.exe -CHECK=setup.ini </dev/null 2>/dev/null)"
code=$?
set -e
if [ "$code" != 0 ] || [ -n "$findings" ]; then
    echo "sample_install: FAILED: -CHECK=setup.ini ended with $code:" >&2
    echo "$findings" >&2
    exit 1
fi
rm "$dir/manual.txt"

programs='C:\Program Files (x86)'
app_u="$WINEPREFIX/drive_c/Program Files (x86)/Deployator Sample"
if [ ! -d "$app_u" ]; then
    programs='C:\Program Files'
    app_u="$WINEPREFIX/drive_c/Program Files/Deployator Sample"
fi
app="$programs\\Deployator Sample"
old_core_size="$(stat -c %s "$app_u/core.dll")"
fonts='C:\windows\Fonts'
fonts_u="$WINEPREFIX/drive_c/windows/Fonts"
menu='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'
link_u="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Deployator Sample/Deployator Sample.lnk"
fonts_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
font_value='Dpsample Sans Book (TrueType)'

cat >"$build/wine/sample_install.robot" <<'ROBOT'
timeout 60
run -C=setup.ini
expect-box "" "Source file not found *\\manual.txt. To finish work press Ok, to continue work press Cancel.*"
press Cancel
expect-exit 1
ROBOT
(cd "$dir" && timeout 300 wine "$build/robot.exe" "$(winepath -w "$build/wine/sample_install.robot")" \
    "$wdir\\deployator.exe" </dev/null)

fail=0
check() {  # check DESCRIPTION COMMAND...
    "${@:2}" || { echo "sample_install: FAILED: $1" >&2; fail=1; }
}
# core.dll 1.2.0.0 over 1.1.0.0, license.txt newer without version, settings.ini always.
for f in core.dll readme.txt license.txt settings.ini viewer.dll; do check "$f installed" cmp -s "$dir/$f" "$app_u/$f"; done
for f in manual.txt obsolete.dll oldviewer.dll; do check "$f absent" test ! -e "$app_u/$f"; done
check "plugin.dll (same version) left alone" test "$(stat -c %Y "$app_u/plugin.dll")" -lt 1700000000
# sample.reg written, old-keys.reg's key deleted with its emptied parent.
regkey='HKCU\Software\Velmora\Deployator Sample'
query() { wine reg query "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }
check "registry values written" grep -q "Version *REG_DWORD *0x10200" <<<"$(query "$regkey" /v Version)"
check "binary value written whole" grep -q "Checksum *REG_BINARY *DEAD00BEEF" <<<"$(query "$regkey\\Plugins" /v Checksum)"
gone() { ! wine reg query "$1" </dev/null >/dev/null 2>&1; }
check "old key and its parent deleted" gone "$regkey\\Legacy"
# The set-up tool ran first and last; Data was created, Cache and setup.tmp went.
check "configure.exe ran last" test -e "$app_u/configured.txt"
check "Data created" test -d "$app_u/Data"
for f in Cache setup.tmp; do check "$f deleted" test ! -e "$app_u/$f"; done
for line in "Running file configure.exe /check." "Running file configure.exe /setup \"$app\"." \
    "Deleting file $app\\setup.tmp."; do
    check "log: $line" grep -qxF "$line" <(tr -d '\r' <"$dir/kitup.log")
done

log="$dir/kitup.log"
size() { stat -c %s "$dir/$1"; }
expected="$(cat <<LOG

[DelFilesFirst]
$app\\obsolete.dll (1.1.0.0; $old_core_size; 1.1.2023) is deleted
Error deleting file $app\\old-notes.txt. File not found.

$app\\oldviewer.dll (1.1.0.0; $old_core_size; 1.1.2023) is deleted

[Copying file]
$app\\core.dll (1.1.0.0; $old_core_size; 1.1.2023) is replaced by $wdir\\core.dll (1.2.0.0; $(size core.dll); 1.6.2024) [By rule]
$app\\readme.txt (1.6.2024; $(size readme.txt); 1.6.2024) is installed
$app\\license.txt (1.1.2023; 40; 1.1.2023) is replaced by $wdir\\license.txt (1.6.2024; $(size license.txt); 1.6.2024) [By rule]
$app\\sample.exe (1.6.2024; $(size sample.exe); 1.6.2024) is installed
$fonts\\dpsample.ttf (1.6.2024; $(size dpsample.ttf); 1.6.2024) is installed
$app\\settings.ini (1.1.2023; 40; 1.1.2023) is replaced by $wdir\\settings.ini (1.6.2024; $(size settings.ini); 1.6.2024) 
$app\\viewer.dll (1.0.0.0; $(size viewer.dll); 1.6.2024) is installed

[AddShortCut]
Shortcut $menu\\Deployator Sample\\Deployator Sample ($app\\sample.exe) is created

[DeleteFontSubstitutes]

[SetFontSubstitutes]
LOG
)"
# From the line before [DelFilesFirst] to [SetFontSubstitutes], line ends made Unix.
got="$(tr -d '\r' <"$log" | awk '/^\[DelFilesFirst\]$/ { print prev; on = 1 } on { print } /^\[SetFontSubstitutes\]$/ { exit } { prev = $0 }')"
if [ "$got" != "$expected" ]; then
    echo "sample_install: FAILED: the log's file lines" >&2
    diff <(echo "$expected") <(echo "$got") >&2 || true
    fail=1
fi
check "shortcut made" grep -q 'sample\.exe' "$link_u"
check "font installed" cmp -s "$dir/dpsample.ttf" "$fonts_u/dpsample.ttf"
# The system's font key, as the system (64-bit reg) sees it.
check "font registered" bash -c "wine reg query '$fonts_key' /v '$font_value' </dev/null | grep -q 'dpsample.ttf'"
check "font substitute set" grep -q '^Dpsample Serif=Dpsample Sans' "$WINEPREFIX/drive_c/windows/win.ini"
[ "$fail" -eq 0 ] || cat "$log"

# The second run: remove.ini.
cat >"$build/wine/sample_remove.robot" <<'ROBOT'
timeout 60
run -C=remove.ini
expect-exit 1
ROBOT
(cd "$dir" && timeout 300 wine "$build/robot.exe" "$(winepath -w "$build/wine/sample_remove.robot")" \
    "$wdir\\deployator.exe" </dev/null)
check "shortcut deleted" test ! -e "$link_u"
check "emptied shortcut folder removed" test ! -e "$(dirname "$link_u")"
check "font file deleted" test ! -e "$fonts_u/dpsample.ttf"
check "font unregistered" bash -c "! wine reg query '$fonts_key' /v '$font_value' </dev/null >/dev/null 2>&1"
check "font substitute deleted" bash -c "! grep -q '^Dpsample Serif=' '$WINEPREFIX/drive_c/windows/win.ini'"
check "deletion logged" grep -qF "Shortcut $menu\\Deployator Sample\\Deployator Sample ($app\\sample.exe) is deleted" "$log"
[ "$fail" -eq 0 ] || cat "$log"
# The COM servers: the old one unregistered before its deletion, the new one
# registered in the end phase, without any error line.
marks="$(wine reg query 'HKCU\Software\Deployator Sample\Servers' </dev/null 2>/dev/null | tr -d '\r')"
check "oldviewer.dll unregistered" grep -qF "$app\\oldviewer.dll    REG_SZ    unregistered" <<<"$marks"
check "viewer.dll registered" grep -qF "$app\\viewer.dll    REG_SZ    registered" <<<"$marks"
check "no error in [ComRegistration]" test -z "$(tr -d '\r' <"$log" | awk '/^\[ComRegistration\]$/ { on = 1; next } /^\[/ { on = 0 } on && NF')"
[ "$fail" -eq 0 ] || { cat "$log"; echo "$marks"; }
exit "$fail"
