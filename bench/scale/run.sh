#!/usr/bin/env bash
# Deployator at scale under Wine beside a CopyFileA loop, in one run
# (scale.py says what each cell measures):
#   bench/scale/run.sh [BUILD]                 payloads of 2,000, 20,000 and 100,000 files
#   BENCH_ARGS='--sizes 2000,20000 --runs 5 --cells fresh,plan' bench/scale/run.sh
#   BENCH_ARGS='--cells rollback --rollback-sizes 2000,20000' bench/scale/run.sh
# BUILD is the Windows build tree (default build/win). Everything goes under
# $SCALE_ROOT (default /tmp/dp-scale): payloads, targets, its own Wine prefix
# with a persistent wineserver (stopped at the end), results/scale-*.json.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build/win}" && pwd)"
exe="$build/deployator.exe"
[ -f "$exe" ] || { echo "run.sh: $exe is missing (build the Windows tree first)" >&2; exit 1; }

export SCALE_ROOT="${SCALE_ROOT:-/tmp/dp-scale}"
export WINEPREFIX="$SCALE_ROOT/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
unset DISPLAY   # nothing measured here opens a window
mkdir -p "$SCALE_ROOT"
exec 9>"$SCALE_ROOT/lock"
flock -n 9 || { echo "run.sh: another run holds $SCALE_ROOT/lock" >&2; exit 1; }

trap 'wineserver -k >/dev/null 2>&1 || true' EXIT   # this prefix's server only
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run.sh: creating Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
fi
wineserver -k >/dev/null 2>&1 || true
wineserver -w
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
# shellcheck disable=SC2086
python3 "$here/scale.py" --exe "$exe" ${BENCH_ARGS:-}
