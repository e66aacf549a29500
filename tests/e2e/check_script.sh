#!/usr/bin/env bash
# End to end: deployator.exe -CHECK= under Wine on small scripts, one per
# group of findings (the text as written, [Parameters], item lines,
# registration and key files), each compared whole with its expected output:
# every finding with its file and its line as written. Then the invalid
# command lines, and that no check wrote a log or changed the folder.
#   check_script.sh BUILD      (BUILD: the Windows build tree)
set -euo pipefail
build="$(cd "${1:?build directory}" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/tools/wine-env" "$build"
"$root/tools/wine-harness" reset "$build"

dir="$WINEPREFIX/drive_c/e2e/check"
w='C:\e2e\check'
rm -rf "$dir"
mkdir -p "$dir/app"
cp "$build/deployator.exe" "$dir/"
printf 'a\r\n' >"$dir/a.txt"
printf 'tool\r\n' >"$dir/tool.exe"

subst() { sed -e "s|\${W}|${w//\\/\\\\}|g"; }
# put NAME: stdin with CR LF line ends and ${W} as the folder's Windows path.
put() { subst | sed -e 's/$/\r/' >"$dir/$1"; }

fail=0
# expect CODE ARGUMENT: runs the check, compares its output with stdin.
expect() {
    local want got code
    want="$(subst)"
    set +e
    (cd "$dir" && wine deployator.exe "$2" </dev/null >"$build/wine/check.out" 2>/dev/null)
    code=$?
    set -e
    if [ "$code" != "$1" ]; then
        echo "check_script: FAILED: $2 ended with $code, expected $1" >&2
        fail=1
    fi
    got="$(tr -d '\r' <"$build/wine/check.out")"
    if [ "$got" != "$want" ]; then
        echo "check_script: FAILED: the findings of $2 (expected < > got)" >&2
        diff <(echo "$want") <(echo "$got") >&2 || true
        fail=1
    fi
}

# The text as written: a comment after text joins LOGSIZE with the next line,
# a misspelt header loses its lines, a "[" ends a section, a header again.
put layout.ini <<'EOF'
LOGLEVEL=FULL
[Parameters]
LOGSIZE=512 ; the next line is joined to this one
LOGLEVEL=FULL
[InstalFiles]
${W}\app\a.txt=a.txt
[InstallFiles]
; a comment on a line of its own is fine
${W}\app\a.txt=a.txt
${W}\app\b[1].txt=a.txt
[Parameters]
LOGLEVEL=NONE
EOF
expect 1 -CHECK=layout.ini <<'EOF'
layout.ini:1: warning: text before the first section is read by no section
layout.ini:3: warning: text before ";" is joined with the next line (a comment takes its line end with it): put the comment on a line of its own
layout.ini:3: error: LOGSIZE "512 LOGLEVEL=FULL" is no number: the size stays as it was
layout.ini:5: warning: unknown section [InstalFiles] (did you mean [InstallFiles]?): its lines are read by no section
layout.ini:10: warning: "[" inside a line ends its section there: the rest of the section is not read
layout.ini:10: error: no "=" in this line of [InstallFiles]: a run stops reading the script here
layout.ini:11: warning: section [Parameters] again: only its first section is read
EOF

# [Parameters] values, the log file's name, a line without "=", [Strings].
put params.ini <<'EOF'
[Parameters]
LOGLEVEL=VERBOSE
LOGSIZE=2 MB
ARCHITECTURE=X64
ARCHITECTURE=ARM
LOGFILE=C:\NONE\%MISSING_DIR%setup.log
INSTALTYPE=TESTINSTALL
TESTINSTALL
LOGLEVEL=SHORT
[Strings]
APP=%PROGRAM_FILES_PATH%Check
DATA=%APPS%\data
EOF
expect 1 -CHECK=params.ini <<'EOF'
params.ini:2: error: unknown LOGLEVEL "VERBOSE": FULL, SHORT or NONE (the level stays as it was)
params.ini:3: error: LOGSIZE "2 MB" is no number: the size stays as it was
params.ini:5: error: unknown ARCHITECTURE "ARM": X86 or X64
params.ini:6: error: undefined variable %MISSING_DIR%
params.ini:6: warning: the LOGFILE value holds "NONE", which also sets the log level to NONE
params.ini:7: warning: unknown parameter "INSTALTYPE" (did you mean INSTALLTYPE?): INSTALLTYPE, LOGLEVEL, LOGFILE, LOGSIZE, ARCHITECTURE, ROLLBACK or RUNTIMEOUT
params.ini:8: error: no "=" in this line of [Parameters]: a run stops reading the script here
params.ini:12: error: undefined variable %APPS% (did you mean %APP%?)
EOF

# Item lines: option words, a missing package file, an undefined variable,
# the same target twice, a line without "=" (the lines after it are still
# read), a shortcut never created, refused deletions, programs.
put items.ini <<'EOF'
[Strings]
APP=${W}\app
[InstallFiles]
%APP%\a.txt=a.txt, Alway
%APP%\gone.txt=gone.txt
%APPS%\b.txt=a.txt
%APP%\A.TXT=a.txt,Always
%APP%\tool.exe=tool.exe
just a line
%APP%\c.txt=missing-too.txt
[InstallShortcuts]
${W}\menu\A=%APP%\a.txt
${W}\menu\Z=%APP%\z.txt
[DeleteDirectory]
%APP%\Cache
%WINDOWS_PATH%
C:\users
[RunFileFirst]
Check=%APP%\tool.exe /check!OnQueue!0
Helper=${W}\missing.exe!OnQueue!zero
Local=tool.exe /x!OnQeue
[RunFileEnd]
RunShellFile1=%APP%\readme.txt
Shell=cmd.exe /c exit 0
EOF
expect 1 -CHECK=items.ini <<'EOF'
items.ini:4: warning: unknown option "Alway" (did you mean Always?): the only option is Always
items.ini:5: error: package file ${W}\gone.txt does not exist
items.ini:6: error: undefined variable %APPS% (did you mean %APP%?)
items.ini:7: warning: target ${W}\app\A.TXT is installed again (first at line 4)
items.ini:9: error: no "=" in this line of [InstallFiles]: a run stops reading the script here
items.ini:10: error: package file ${W}\missing-too.txt does not exist
items.ini:13: warning: shortcut target ${W}\app\z.txt is installed by no line of the script: the shortcut is never created
items.ini:16: error: a run refuses to delete C:\windows (a drive root, a system or profile folder, or a folder that holds one)
items.ini:17: error: a run refuses to delete C:\users (a drive root, a system or profile folder, or a folder that holds one)
items.ini:20: warning: expected exit code "zero" is no number: it is read as 0
items.ini:20: warning: program ${W}\missing.exe does not exist, and no line of the script installs it
items.ini:21: warning: unknown flag "OnQeue" (did you mean OnQueue?): the only flag is OnQueue
items.ini:23: warning: document ${W}\app\readme.txt does not exist, and no line of the script installs it
EOF

# Registration and key files, each finding on the file's own line.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Check]\r\n"A"="1"\r\n' >"$dir/exported.reg"
put forms.reg <<'EOF'
[HKEY_CURRENT_USER\Software\Check]
"Dir"="C:\\Program Files\\Check"
"Name"=" padded "
[-HKEY_CURRENT_USER\Software\Check\Old]

"Tip"="use hex: bytes"
"Big"=hex(b):01,00,00,00,00,00,00,00
"After"="x"
EOF
long="HKCU\\Software\\$(printf 'k%.0s' $(seq 1 260))"
put keys.reg <<EOF
; keys of the old version
[HKEY_LOCAL_MACHINE\\SOFTWARE]
[HKEY_CURRENT_USER\\Software\\Check\\Old] ; gone with it
[HKCU\\Software\\Check\\Older]
[HKEY_NOWHERE\\Software\\Check]
[$long]
[HKCU\\Software\\Check\\Never]
EOF
put registry.ini <<'EOF'
[InstallRegEntries]
Exported=exported.reg
Forms=${W}\forms.reg
Gone=gone.reg
[DeleteRegEntries]
Keys=keys.reg
EOF
expect 1 -CHECK=registry.ini <<'EOF'
registry.ini:4: error: registration file ${W}\gone.reg cannot be read: File not found
${W}\exported.reg:1: error: header line "Windows Registry Editor Version 5.00": the reduced format has no header line, remove it; the rest of the file is not read
${W}\forms.reg:2: warning: a doubled backslash in a quoted value stays doubled (the reduced format does not undo the export's escapes): write one backslash
${W}\forms.reg:3: warning: blanks at the ends of a quoted value are dropped
${W}\forms.reg:4: warning: a key in the deletion form "[-...]" is written, not deleted: deletions go into a key file of [DeleteRegEntries]
${W}\forms.reg:6: warning: the quoted value holds "hex:": it is read as that type, not as a string
${W}\forms.reg:7: error: value type hex(b): is not one the reduced format knows (dword:, hex:, hex(2):, hex(7):); the rest of the file is not read
${W}\keys.reg:2: error: key HKEY_LOCAL_MACHINE\SOFTWARE is shared by every program or the system's own: a run refuses to delete it
${W}\keys.reg:3: warning: text before ";" is joined with the next line (a comment takes its line end with it): put the comment on a line of its own
${W}\keys.reg:5: error: key HKEY_NOWHERE\Software\Check names no key below a known root (HKEY_LOCAL_MACHINE, HKLM, HKEY_CURRENT_USER, HKCU, ...): a run refuses it
${W}\keys.reg:6: error: key path longer than 259 characters; the rest of the file is not read
EOF

# Warnings alone end with 0; a script that cannot be read is an error.
put warnings.ini <<'EOF'
[InstallFiles]
${W}\app\a.txt=a.txt,Alway
EOF
expect 0 -CHECK=warnings.ini <<'EOF'
warnings.ini:2: warning: unknown option "Alway" (did you mean Always?): the only option is Always
EOF
expect 1 "-CHECK=$w\\nothing.ini" <<'EOF'
${W}\nothing.ini: error: the script cannot be read: File not found
EOF

# Invalid command lines: 1639 (read modulo 256 through wine: 103), no output.
expect 103 -CHECK= </dev/null
for args in "-CHECK=items.ini -C=items.ini" "-CHECK=items.ini -PLAN=plan.tsv"; do
    set +e
    (cd "$dir" && wine deployator.exe $args </dev/null >/dev/null 2>&1)
    code=$?
    set -e
    [ "$code" = 103 ] || { echo "check_script: FAILED: $args ended with $code, expected 103" >&2; fail=1; }
done

# Nothing was written: no log, no plan, nothing installed, no registry key.
if [ -n "$(find "$dir" -iname '*.log' -o -iname '*.tsv' -o -path "$dir/menu")" ] ||
    [ -n "$(ls -A "$dir/app")" ] ||
    wine reg query 'HKCU\Software\Check' </dev/null >/dev/null 2>&1; then
    echo "check_script: FAILED: a check changed something" >&2
    fail=1
fi
exit "$fail"
