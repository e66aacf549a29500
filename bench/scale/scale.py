#!/usr/bin/env python3
"""Deployator at scale under Wine, beside a CopyFileA loop, in one run.

Normally started by run.sh (which sets up the Wine prefix and the server):

    scale.py --exe deployator.exe [--sizes 2000,20000,100000] [--runs 3]
             [--cells start,fresh,uptodate,plan,rollback]

Payloads: N files of 4 KiB (incompressible, last-write time 2024-01-01) in
folders of 200; every 10th file also has an older version (2023-01-01, 3.5 KiB,
other bytes) for the 10%-newer runs. The CopyFileA loop is the peer
benchmark's copyfiles.cpp, built here.

Cells (every figure a median of --runs runs; ratios are within the cell, whose
runs alternate A B B A ...):
  start     deployator -QUIET with an empty script and with no script, beside
            the loop program's start (copyfiles.exe --noop)
  fresh     quiet install into an empty target folder never used before,
            beside the loop copying the same payload into one; the cell's
            folders are removed after it
  uptodate  quiet run on an up-to-date target, beside the loop with --check
            (which opens both files' facts and copies nothing)
  plan      -PLAN= of a fresh install (target missing), every size in turn,
            so that the cost per line of the sizes compare within one run
  rollback  fresh and 10%-newer quiet installs with and without -ROLLBACK

Memory: the peak resident set of the Wine process that runs the program (the
rusage of the waited process, as /usr/bin/time -v reports it; it includes
Wine's own libraries: compare with the empty run's), and the growth of the
wineserver's peak resident set during the run (its high-water mark is reset
before each run through /proc/PID/clear_refs).

Same conditions for every side: each fresh run gets a target folder created
empty just before it; all of a cell's folders are removed after the cell, and a
cell that creates many files starts only when --settle seconds have passed since
the last removal (ext4 without a journal skips inodes freed in the last minute
when it allocates new ones, walking past each of them).
"""
import argparse
import json
import os
import random
import shlex
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
ROOT = os.environ.get("SCALE_ROOT", "/tmp/dp-scale")
PEERS_DIR = os.environ.get("BENCH_PEERS_DIR", os.path.join(REPO, "..", "shared", "bench-peers"))
if not os.path.isdir(PEERS_DIR):
    PEERS_DIR = "/work/shared/bench-peers"
FILE_BYTES = 4096
STALE_BYTES = 3584
PER_FOLDER = 200
MTIME = 1704110400        # 2024-01-01 12:00 UTC
STALE_MTIME = 1672574400  # 2023-01-01 12:00 UTC
STATE = os.path.join(ROOT, "last-removal")


def log(*a):
    print(*a, flush=True)


def winpath(p):
    return "Z:" + os.path.abspath(p).replace("/", "\\")


def loadavg():
    with open("/proc/loadavg") as f:
        return [float(x) for x in f.read().split()[:3]]


# ------------------------------------------------------------------ payloads

def rel_name(i):
    return "d%03d\\f%06d.dat" % (i // PER_FOLDER, i)


def payload(n):
    """The payload folder of n files (made once), its stale folder and file list."""
    base = os.path.join(ROOT, "data", str(n))
    src, stale, files = base + "/src", base + "/stale", base + "/files.txt"
    done = base + "/.complete"
    if os.path.exists(done):
        return src, stale, files
    log("payload %d: writing %d files of %d bytes" % (n, n, FILE_BYTES))
    subprocess.run(["rm", "-rf", base], check=True)
    rng = random.Random(n)
    made = set()
    os.makedirs(base)
    with open(files, "w") as lst:
        for i in range(n):
            rel = rel_name(i)
            lst.write(rel + "\n")
            for root, size, mtime, every in ((src, FILE_BYTES, MTIME, 1), (stale, STALE_BYTES, STALE_MTIME, 10)):
                if i % every:
                    continue
                path = os.path.join(root, rel.replace("\\", "/"))
                folder = os.path.dirname(path)
                if folder not in made:
                    os.makedirs(folder, exist_ok=True)
                    made.add(folder)
                with open(path, "wb") as f:
                    f.write(rng.randbytes(size))
                os.utime(path, (mtime, mtime))
    open(done, "w").close()
    return src, stale, files


def script(n, target, tag):
    """A script installing payload n into target (a Linux path); its Wine path."""
    src, _, files = payload(n)
    path = os.path.join(ROOT, "work", "%s.scr" % tag)
    with open(path, "wb") as out:
        subprocess.run([sys.executable, os.path.join(REPO, "bench", "peers", "make_script.py"), files,
                        winpath(src), winpath(target), "--log-dir", winpath(os.path.join(ROOT, "work")),
                        "--tag", tag], stdout=out, check=True)
    return winpath(path)


def degrade(n, target):
    """Every 10th installed file replaced by its older version."""
    _, stale, _ = payload(n)
    for d, _, names in os.walk(stale):
        for name in names:
            s = os.path.join(d, name)
            t = os.path.join(target, os.path.relpath(s, stale))
            with open(s, "rb") as f, open(t, "wb") as g:
                g.write(f.read())
            os.utime(t, (STALE_MTIME, STALE_MTIME))


def count_files(root):
    return sum(len(f) for _, _, f in os.walk(root))


# ------------------------------------------------------------------ running

def server_pid():
    prefix = os.environ["WINEPREFIX"].encode()
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % pid) as f:
                if not f.read().startswith("wineserver"):
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if b"WINEPREFIX=" + prefix + b"\0" in f.read():
                    return int(pid)
        except OSError:
            continue
    return None


def server_hwm(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def measure(argv):
    """Runs argv (a Wine command); wall seconds, peak RSS KiB, server peak KiB, rc."""
    srv = server_pid()
    base = 0
    if srv:
        try:
            with open("/proc/%d/clear_refs" % srv, "w") as f:
                f.write("5")
            base = server_hwm(srv)
        except OSError:
            srv = None
    t = time.perf_counter()
    p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    rc = os.waitstatus_to_exitcode(status)
    grown = server_hwm(srv) - base if srv else 0
    return {"s": wall, "rss": usage.ru_maxrss, "server": grown, "rc": rc}


def settle(seconds):
    try:
        with open(STATE) as f:
            last = float(f.read())
    except (OSError, ValueError):
        return
    wait = last + seconds - time.time()
    if wait > 0:
        log("  (waiting %.0f s: files were removed %.0f s ago)" % (wait, time.time() - last))
        time.sleep(wait)


def remove(paths):
    paths = [p for p in paths if os.path.exists(p)]
    if not paths:
        return
    subprocess.run(["rm", "-rf"] + paths, check=True)
    subprocess.run(["sync"], check=True)
    with open(STATE, "w") as f:
        f.write(str(time.time()))


class Target:
    """Target folders, each new; all of them removed by clear()."""

    def __init__(self, cell):
        self.cell, self.made, self.count = cell, [], 0

    def new(self, who, create=True):
        self.count += 1
        path = os.path.join(ROOT, "t", "%s-%s-%d-%d" % (self.cell, who, os.getpid(), self.count))
        if create:
            os.makedirs(path)
        self.made.append(path)
        return path

    def clear(self):
        remove(self.made)
        self.made = []


def summary(runs):
    s = [r["s"] for r in runs]
    return {"median": statistics.median(s), "min": min(s), "max": max(s), "runs": len(s),
            "rss_mib": max(r["rss"] for r in runs) / 1024.0, "server_mib": max(r["server"] for r in runs) / 1024.0,
            "rc": sorted(set(r["rc"] for r in runs)), "times": s}


def alternate(sides, rounds, before=None):
    """sides: {name: function(round) -> argv}; A B, B A, ... ; before(name) runs untimed."""
    names = list(sides)
    out = {n: [] for n in names}
    for r in range(rounds):
        for n in (names if r % 2 == 0 else names[::-1]):
            argv = sides[n](r)
            if before:
                before(n)
            subprocess.run(["sync"], check=True)
            out[n].append(measure(argv))
    return {n: summary(v) for n, v in out.items()}


# ------------------------------------------------------------------ cells

def cell_start(a, results):
    empty = os.path.join(ROOT, "work", "empty.scr")
    with open(empty, "wb") as f:
        f.write(("[Parameters]\r\nLOGLEVEL=SHORT\r\nLOGFILE=%s\r\n\r\n[InstallFiles]\r\n"
                 % winpath(os.path.join(ROOT, "work", "empty.log"))).encode())
    sides = {
        "deployator -QUIET, empty script": lambda r: ["wine", a.exe, "-QUIET", "-C=" + winpath(empty)],
        "deployator -QUIET, no script": lambda r: ["wine", a.exe, "-QUIET"],
        "loop program, --noop": lambda r: ["wine", a.loop, "--noop"],
    }
    res = alternate(sides, max(a.runs, 20))
    results["start"] = res
    base = res["loop program, --noop"]["median"]
    log("start (median of %d):" % res[next(iter(res))]["runs"])
    for n, v in res.items():
        log("  %-36s %7.1f ms  %.2fx the loop program   peak %.1f MiB  rc %s"
            % (n, v["median"] * 1e3, v["median"] / base, v["rss_mib"], v["rc"]))


def cell_fresh(a, n, results):
    src, _, _ = payload(n)
    settle(a.settle)
    t = Target("fresh%d" % n)
    last = {}

    def dp(r):
        last["deployator"] = t.new("dp")
        return ["wine", a.exe, "-QUIET", "-C=" + script(n, last["deployator"], "fresh-%d" % n)]

    def loop(r):
        last["loop"] = t.new("loop")
        return ["wine", a.loop, winpath(src), winpath(last["loop"])]

    res = alternate({"deployator": dp, "loop": loop}, a.runs)
    for who in ("deployator", "loop"):
        got = count_files(last[who])
        res[who]["files_in_last_target"] = got
        if got != n:
            log("  WARNING: %s left %d of %d files" % (who, got, n))
    results.setdefault("fresh", {})[str(n)] = res
    d, l = res["deployator"], res["loop"]
    log("fresh %d: deployator %.3f s (%.3f-%.3f), loop %.3f s (%.3f-%.3f): %.2fx   peak %.1f MiB (server +%.1f)  rc %s"
        % (n, d["median"], d["min"], d["max"], l["median"], l["min"], l["max"], d["median"] / l["median"],
           d["rss_mib"], d["server_mib"], d["rc"]))
    return t, last


def cell_uptodate(a, n, results, t, last):
    src, _, _ = payload(n)
    scr = script(n, last["deployator"], "uptodate-%d" % n)
    res = alternate({"deployator": lambda r: ["wine", a.exe, "-QUIET", "-C=" + scr],
                     "loop --check": lambda r: ["wine", a.loop, "--check", winpath(src), winpath(last["loop"])]},
                    a.runs)
    results.setdefault("uptodate", {})[str(n)] = res
    d, l = res["deployator"], res["loop --check"]
    fresh = results.get("fresh", {}).get(str(n), {}).get("loop")
    log("up to date %d: deployator %.3f s, loop --check %.3f s: %.2fx%s   peak %.1f MiB  rc %s"
        % (n, d["median"], l["median"], d["median"] / l["median"],
           " (%.2fx the fresh loop)" % (d["median"] / fresh["median"]) if fresh else "", d["rss_mib"], d["rc"]))


def cell_plan(a, sizes, results):
    t = Target("plan")
    scripts = {n: script(n, t.new("missing-%d" % n, create=False), "plan-%d" % n) for n in sizes}
    plan = {n: winpath(os.path.join(ROOT, "work", "plan-%d.tsv" % n)) for n in sizes}
    res = alternate({str(n): (lambda r, n=n: ["wine", a.exe, "-C=" + scripts[n], "-PLAN=" + plan[n]])
                     for n in sizes}, a.runs)
    work = os.path.join(ROOT, "work")
    for n in sizes:
        # The command line is upper-cased: the file is PLAN-N.TSV on this side.
        name = next(f for f in os.listdir(work) if f.lower() == "plan-%d.tsv" % n)
        with open(os.path.join(work, name), "rb") as f:
            res[str(n)]["rows"] = sum(1 for _ in f) - 1
    results["plan"] = res
    small = str(sizes[0])
    ref = str(20000) if "20000" in res else small
    log("plan (target missing; cost per line against the plan of %s lines):" % ref)
    for n in sizes:
        v = res[str(n)]
        per = v["median"] / n
        log("  %6d lines: %.3f s (%.3f-%.3f), %.1f us per line, %.2fx   peak %.1f MiB (server +%.1f)  rows %d rc %s"
            % (n, v["median"], v["min"], v["max"], per * 1e6, per / (res[ref]["median"] / int(ref)),
               v["rss_mib"], v["server_mib"], v["rows"], v["rc"]))


def cell_rollback(a, n, results):
    src, _, _ = payload(n)
    settle(a.settle)
    t = Target("rollback%d" % n)
    keep = {}

    def run(who, rollback):
        def argv(r):
            keep[who] = t.new(who)
            cmd = ["wine", a.exe, "-QUIET", "-C=" + script(n, keep[who], "rb-%s-%d" % (who, n))]
            return cmd + ["-ROLLBACK"] if rollback else cmd
        return argv

    fresh = alternate({"plain": run("plain", False), "rollback": run("rollback", True)}, a.runs)
    # 10% newer: each side on its own complete target, made stale before each run.
    scr = {who: script(n, keep[who], "rb-newer-%s-%d" % (who, n)) for who in ("plain", "rollback")}
    newer = alternate({"plain": lambda r: ["wine", a.exe, "-QUIET", "-C=" + scr["plain"]],
                       "rollback": lambda r: ["wine", a.exe, "-QUIET", "-C=" + scr["rollback"], "-ROLLBACK"]},
                      a.runs, before=lambda who: degrade(n, keep[who]))
    t.clear()
    results.setdefault("rollback", {})[str(n)] = {"fresh": fresh, "newer10": newer}
    for name, res in (("fresh", fresh), ("10% newer", newer)):
        p, r = res["plain"], res["rollback"]
        log("rollback %d %s: plain %.3f s, -ROLLBACK %.3f s: %.2fx  rc %s/%s"
            % (n, name, p["median"], r["median"], r["median"] / p["median"], p["rc"], r["rc"]))


def build_loop():
    out = os.path.join(ROOT, "build", "copyfiles.exe")
    src = os.path.join(PEERS_DIR, "copyfiles.cpp")
    if not os.path.exists(out) or os.path.getmtime(out) < os.path.getmtime(src):
        os.makedirs(os.path.dirname(out), exist_ok=True)
        subprocess.run(["i686-w64-mingw32-g++", "-O2", "-static", "-s", "-o", out, src, "-lversion"], check=True)
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--exe", required=True)
    ap.add_argument("--sizes", default="2000,20000,100000")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--cells", default="start,fresh,uptodate,plan")
    ap.add_argument("--rollback-sizes", default="2000")
    ap.add_argument("--settle", type=float, default=65.0)
    a = ap.parse_args()
    sizes = [int(s) for s in a.sizes.split(",") if s]
    cells = set(a.cells.split(","))
    for d in ("work", "t", "results"):
        os.makedirs(os.path.join(ROOT, d), exist_ok=True)
    a.loop = build_loop()
    a.exe = os.path.abspath(a.exe)
    for n in sizes:
        payload(n)
    results = {"meta": {"started": time.strftime("%Y-%m-%d %H:%M:%S %Z"), "exe": a.exe, "sizes": sizes,
                        "runs": a.runs, "loadavg_start": loadavg(),
                        "commit": subprocess.run(["git", "-C", REPO, "rev-parse", "--short", "HEAD"],
                                                 capture_output=True, text=True).stdout.strip()}}
    log("scale bench: %s, %d runs per side, load average %s" % (a.exe, a.runs, results["meta"]["loadavg_start"]))
    if "start" in cells:
        cell_start(a, results)
    for n in sizes:
        if "fresh" in cells or "uptodate" in cells:
            t, last = cell_fresh(a, n, results)
            if "uptodate" in cells:
                cell_uptodate(a, n, results, t, last)
            t.clear()
    if "plan" in cells:
        cell_plan(a, sizes, results)
    if "rollback" in cells:
        for n in [int(s) for s in a.rollback_sizes.split(",") if s]:
            cell_rollback(a, n, results)
    results["meta"]["loadavg_end"] = loadavg()
    results["meta"]["finished"] = time.strftime("%Y-%m-%d %H:%M:%S %Z")
    out = os.path.join(ROOT, "results", "scale-%s.json" % time.strftime("%Y%m%d-%H%M%S"))
    with open(out, "w") as f:
        json.dump(results, f, indent=1)
    log("load average at the end %s; results: %s" % (results["meta"]["loadavg_end"], out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
