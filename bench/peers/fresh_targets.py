#!/usr/bin/env python3
"""Runs the peer benchmark's driver (bench.py of ../shared/bench-peers) with the
same starting conditions for every peer's fresh installs.

    fresh_targets.py run ARGS...     bench.py run ARGS..., fresh runs as below
    fresh_targets.py fresh DST       (the preparation of a fresh run)

Each fresh run of every peer installs into an empty target folder created just
before it and never used before: the folder of the run before is renamed aside
(which frees nothing), not deleted. The folders of a cell are removed after the
cell, and a fresh cell starts only when BENCH_SETTLE seconds (default 65) have
passed since the last removal: ext4 without a journal skips every inode freed
in the last minute when it allocates a new one, reading each one's deletion
time, so files created just after a removal cost more whatever the program.
"""
import glob
import os
import shlex
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PEERS_DIR = os.environ.get("BENCH_PEERS_DIR") or os.path.join(HERE, "..", "..", "..", "shared", "bench-peers")
if not os.path.isdir(PEERS_DIR):
    PEERS_DIR = "/work/shared/bench-peers"
ROOT = os.environ.get("BENCH_ROOT", "/tmp/peers")
STATE = os.path.join(ROOT, "last-removal")
SETTLE = float(os.environ.get("BENCH_SETTLE", "65"))
FRESH = "python3 %s fresh {dst}" % os.path.abspath(__file__)


def used(dst):
    return sorted(glob.glob(glob.escape(dst) + ".used-*"))


def fresh(dst):
    """Sets the used target aside and makes a new, empty one."""
    if os.path.lexists(dst):
        os.rename(dst, "%s.used-%d-%d" % (dst, time.time_ns(), os.getpid()))
    os.makedirs(dst)


def remove(paths):
    paths = [p for p in paths if os.path.lexists(p)]
    if not paths:
        return
    subprocess.run(["rm", "-rf"] + paths, check=True)
    subprocess.run(["sync"], check=True)
    with open(STATE, "w") as f:
        f.write(str(time.time()))


def settle():
    try:
        with open(STATE) as f:
            last = float(f.read())
    except (OSError, ValueError):
        return
    wait = last + SETTLE - time.time()
    if wait > 0:
        print("  (fresh cell waits %.0f s: targets were removed %.0f s ago)" % (wait, time.time() - last), flush=True)
        time.sleep(wait)


def patch(bench):
    # Every peer that empties its target by removing it gets a new folder
    # instead (the hook gets it through BENCH_EXTRA_CLEAN, from run.sh).
    for name, (desc, payloads, scenarios, commands, clean) in list(bench.PEERS.items()):
        if clean is None:
            bench.PEERS[name] = (desc, payloads, scenarios, commands, FRESH)
    run_cell = bench.run_cell

    def run_cell_fresh(peer, P, scen, *rest):
        dst = os.path.join(bench.TARGETS, "%s-%s" % (peer, P))
        if scen == "fresh":
            settle()
        try:
            return run_cell(peer, P, scen, *rest)
        finally:
            remove(used(dst))

    bench.run_cell = run_cell_fresh
    # The targets a peer leaves at its end (its clean sets the last one aside).
    sh = bench.sh

    def sh_and_remove(cmd, *args, **kwargs):
        out = sh(cmd, *args, **kwargs)
        words = shlex.split(cmd.replace(";", " ; "))
        if os.path.abspath(__file__) in words and "fresh" in words:
            remove(used(words[words.index("fresh") + 1]))
        return out

    bench.sh = sh_and_remove


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "fresh":
        fresh(sys.argv[2])
        return 0
    sys.path.insert(0, PEERS_DIR)
    import bench  # noqa: E402  (the shared driver)
    patch(bench)
    return bench.main()


if __name__ == "__main__":
    sys.exit(main())
