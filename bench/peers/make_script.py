#!/usr/bin/env python3
"""Writes a Deployator script that installs a peer-benchmark payload.

    make_script.py FILES SRC_W DST_W [--log-dir DIR_W --tag P] [--level SHORT|FULL|NONE]

FILES holds the payload's relative paths, one a line, with backslashes;
SRC_W and DST_W are the payload and target folders as Windows paths. Every
file becomes one [InstallFiles] line "DST_W\\rel=SRC_W\\rel", so the program
decides file by file (by version, or by date without one) what to copy.
The script is written to standard output in the system code page's 8 bits.
"""
import argparse
import sys


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("files")
    ap.add_argument("src_w")
    ap.add_argument("dst_w")
    ap.add_argument("--log-dir", help="folder of the log deployator-TAG.log (Windows path); "
                    "default: the program's kitup.log")
    ap.add_argument("--tag", default="bench")
    ap.add_argument("--level", default="SHORT", choices=["SHORT", "FULL", "NONE"])
    args = ap.parse_args()

    src = args.src_w.rstrip("\\")
    dst = args.dst_w.rstrip("\\")
    for name in (src, dst):
        if "=" in name or "," in name:
            sys.exit("make_script.py: a path with '=' or ',' cannot stand in an install line: " + name)
    out = ["[Parameters]", "LOGLEVEL=" + args.level]
    if args.log_dir:
        out.append("LOGFILE=%s\\deployator-%s.log" % (args.log_dir.rstrip("\\"), args.tag))
    out += ["", "[InstallFiles]"]
    with open(args.files, encoding="utf-8") as f:
        for line in f:
            rel = line.strip().replace("/", "\\")
            if not rel:
                continue
            if "=" in rel or "," in rel or rel.startswith(";"):
                sys.exit("make_script.py: file name not expressible in a script line: " + rel)
            out.append("%s\\%s=%s\\%s" % (dst, rel, src, rel))
    sys.stdout.buffer.write(("\r\n".join(out) + "\r\n").encode("cp1252"))


if __name__ == "__main__":
    main()
