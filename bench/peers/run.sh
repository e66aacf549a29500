#!/usr/bin/env bash
# Times Deployator beside the peer installers of ../shared/bench-peers (their
# README explains the harness), in one run so that the figures compare.
#   bench/peers/run.sh [BUILD]          quick: 3 runs, payloads S and V
#   BENCH_ARGS='--runs 7 --payloads S,L,V' bench/peers/run.sh
# BUILD is the Windows build tree (default build/win). Deployator runs as
# shipped: `deployator.exe -QUIET -C=script`, no window at all and no pacing
# of the reading, exit code 0 when every item was carried out. Its log (level
# SHORT, as by default) goes to the bench's scratch folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build/win}" && pwd)"
peers_dir="${BENCH_PEERS_DIR:-$root/../shared/bench-peers}"
[ -d "$peers_dir" ] || peers_dir=/work/shared/bench-peers
exe="$build/deployator.exe"
[ -f "$exe" ] || { echo "run.sh: $exe is missing (build the Windows tree first)" >&2; exit 1; }

export BENCH_EXTRA_NAME=deployator
export BENCH_EXTRA_PREP="python3 $here/make_script.py {files} {src_w} {dst_w} --log-dir {work_w} --tag {P} > {script}"
export BENCH_EXTRA="wine $exe -QUIET -C={script_w}"
# The program creates only the last missing folder level of a target: the
# target's root folder exists, as the folder of an application would. The log
# of earlier runs goes too.
export BENCH_EXTRA_CLEAN="rm -rf {dst} {work}/deployator-{P}.log && mkdir -p {dst}"
# shellcheck disable=SC2086
exec "$peers_dir/run.sh" ${BENCH_ARGS:---runs 3 --payloads S,V} \
    --peers nsis-ifnewer,copyfile,copyfile-check
