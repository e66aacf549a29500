#!/usr/bin/env bash
# Times Deployator beside the peer installers of ../shared/bench-peers (their
# README explains the harness), in one run so that the figures compare.
#   bench/peers/run.sh [BUILD]          quick: 3 runs, payloads S and V
#   BENCH_ARGS='--runs 7 --payloads S,L,V' bench/peers/run.sh
# BUILD is the Windows build tree (default build/win). Deployator runs as
# shipped: `deployator.exe -QUIET -C=script`, no window at all and no pacing
# of the reading, exit code 0 when every item was carried out. Its log (level
# SHORT, as by default) goes to the bench's scratch folder.
#
# Every fresh run of every peer starts from the same conditions: an empty
# target folder made just before it and never used before; a cell's folders
# are removed after the cell, and a fresh cell waits until BENCH_SETTLE
# seconds (default 65) have passed since the last removal (fresh_targets.py
# says why). The shared run.sh prepares (packages, prefix, payloads, peer
# installers); the runs themselves go through fresh_targets.py, which drives
# the shared bench.py with that preparation.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build/win}" && pwd)"
peers_dir="${BENCH_PEERS_DIR:-$root/../shared/bench-peers}"
[ -d "$peers_dir" ] || peers_dir=/work/shared/bench-peers
export BENCH_PEERS_DIR="$peers_dir"
exe="$build/deployator.exe"
[ -f "$exe" ] || { echo "run.sh: $exe is missing (build the Windows tree first)" >&2; exit 1; }

# 1. Packages, prefix, payloads and peer installers, by the shared harness
#    (nothing timed: no payload is run).
"$peers_dir/run.sh" --payloads '' --no-startup --no-probes >/dev/null

# 2. The runs, with the shared harness's prefix and a persistent wineserver.
export BENCH_ROOT="${BENCH_ROOT:-/tmp/peers}"
export WINEPREFIX="$BENCH_ROOT/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
exec 9>"$BENCH_ROOT/lock"
flock -n 9 || { echo "run.sh: another run holds $BENCH_ROOT/lock" >&2; exit 1; }
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT   # this prefix's server only
wineserver -k >/dev/null 2>&1 || true
wineserver -w
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1

export BENCH_EXTRA_NAME=deployator
export BENCH_EXTRA_PREP="python3 $here/make_script.py {files} {src_w} {dst_w} --log-dir {work_w} --tag {P} > {script}"
export BENCH_EXTRA="wine $exe -QUIET -C={script_w}"
# The program creates only the last missing folder level of a target: the
# target's root folder exists (for every peer: each fresh run gets a new,
# empty one). The log of earlier runs goes too.
export BENCH_EXTRA_CLEAN="python3 $here/fresh_targets.py fresh {dst} && rm -f {work}/deployator-{P}.log"
# shellcheck disable=SC2086
python3 "$here/fresh_targets.py" run ${BENCH_ARGS:---runs 3 --payloads S,V} \
    --peers nsis-ifnewer,copyfile,copyfile-check
R=${BENCH_RESULTS:-$BENCH_ROOT/results}; echo "results: $R/results.json, table: $R/table.md"
