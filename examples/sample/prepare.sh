#!/usr/bin/env bash
# Makes the sample ready to run: builds the package's versioned libraries into
# the sample folder and puts an older installation of the sample application
# into the Wine prefix's Program Files folder.
#   prepare.sh BUILD SAMPLE_DIR      (WINEPREFIX set, as tools/wine-env does)
set -euo pipefail
sample="$(cd "${2:?sample folder}" && pwd)"
: "${WINEPREFIX:?WINEPREFIX must be set}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cc=i686-w64-mingw32-gcc
command -v "$cc" >/dev/null || cc=i686-w64-mingw32-gcc-posix
rc=i686-w64-mingw32-windres

# library VERSION(a.b.c.d) OUTPUT
library() {
    IFS=. read -r v1 v2 v3 v4 <<<"$1"
    sed -e "s/@V1@/$v1/g" -e "s/@V2@/$v2/g" -e "s/@V3@/$v3/g" -e "s/@V4@/$v4/g" \
        "$sample/src/sample.rc.in" >"$work/v.rc"
    "$rc" -O coff -i "$work/v.rc" -o "$work/v.o"
    "$cc" -shared -O2 -s -static-libgcc -Wl,--kill-at -DSAMPLE_VERSION=$((v1 * 100 + v2)) \
        -o "$2" "$sample/src/sample.c" "$work/v.o"
}

# The package.
library 1.2.0.0 "$sample/core.dll"
library 1.0.0.0 "$sample/plugin.dll"
library 1.0.0.0 "$sample/viewer.dll"
"$cc" -O2 -s -mwindows -static-libgcc -o "$sample/sample.exe" "$sample/src/app.c"
"$cc" -O2 -s -mwindows -static-libgcc -o "$sample/configure.exe" "$sample/src/configure.c"
touch -d '2024-06-01 12:00 UTC' "$sample"/*.txt "$sample"/settings.ini "$sample"/*.dll "$sample"/*.exe \
    "$sample"/*.ttf

# The older installation.
programs="$WINEPREFIX/drive_c/Program Files (x86)"
[ -d "$programs" ] || programs="$WINEPREFIX/drive_c/Program Files"
app="$programs/Deployator Sample"
rm -rf "$app"
mkdir -p "$app"
library 1.1.0.0 "$app/core.dll"
cp "$sample/plugin.dll" "$app/plugin.dll"
cp "$app/core.dll" "$app/obsolete.dll"
cp "$app/core.dll" "$app/oldviewer.dll"
printf 'Deployator Sample license, revision 1.\r\n' >"$app/license.txt"
printf '[Sample]\r\nGreeting=Hello from the user\r\n' >"$app/settings.ini"
touch -d '2023-01-01 12:00 UTC' "$app"/*

# No font or shortcut of an earlier run.
rm -f "$WINEPREFIX/drive_c/windows/Fonts/dpsample.ttf"
rm -rf "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Deployator Sample"
# The earlier version's registry settings, which old-keys.reg removes.
wine reg delete 'HKCU\Software\Velmora\Deployator Sample' /f >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Velmora\Deployator Sample\Legacy\Window' /v Left /d 10 /f >/dev/null 2>&1
# What the older installation leaves that the script removes at the end.
mkdir -p "$app/Cache/Thumbnails"
printf 'cached\r\n' >"$app/Cache/index.dat"
printf 'cached\r\n' >"$app/Cache/Thumbnails/1.dat"
printf 'temporary\r\n' >"$app/setup.tmp"
# The registration marks of the sample's COM servers from an earlier run.
wine reg delete 'HKCU\Software\Deployator Sample' /f </dev/null >/dev/null 2>&1 || true
