#!/bin/bash
# Usage: bench/rollback_cost.sh BUILD_DIR [RUNS]   (after tools/test --win; prints one line per run)
# A B A B timing of a quiet install with and without ROLLBACK=YES, fresh and 10% newer.
# Times only the installer's process (the set-up of each run is outside).
set -u
BUILD=$1; RUNS=${2:-5}
source "$(dirname "$0")/../tools/wine-env" "$BUILD"
export WINEDEBUG=-all
P="$WINEPREFIX/drive_c/rbbench"; rm -rf "$P"; mkdir -p "$P/pkg"
for d in $(seq 1 20); do mkdir -p "$P/pkg/d$d"; for f in $(seq 1 100); do head -c 4096 /dev/urandom > "$P/pkg/d$d/f$f.dat"; done; done
touch -d '2024-06-01 12:00 UTC' "$P"/pkg/*/*
cp "$BUILD/deployator.exe" "$P/"
make_ini() { # target folder, rollback yes/no
  { printf '[Parameters]\r\nLOGLEVEL=SHORT\r\n'; [ "$2" = yes ] && printf 'ROLLBACK=YES\r\n'; printf '[InstallFiles]\r\n'
    for d in $(seq 1 20); do for f in $(seq 1 100); do printf 'C:\\rbbench\\%s\\d%s\\f%s.dat=C:\\rbbench\\pkg\\d%s\\f%s.dat\r\n' "$1" $d $f $d $f; done; done; } > "$P/$1.ini"
}
ms() { date +%s%N; }
run_one() { # name rollback mode
  local t="t$RANDOM$RANDOM"; make_ini "$t" "$2"
  [ "$3" = fresh ] && mkdir -p "$P/$t"
  if [ "$3" = newer ]; then
    cp -a "$P/pkg" "$P/$t"; touch -d '2023-01-01 12:00 UTC' "$P/$t"/*/*
    for d in $(seq 1 20); do for f in $(seq 1 100 | awk 'NR%10==0'); do touch -d '2020-01-01 12:00 UTC' "$P/$t/d$d/f$f.dat"; done; done
    # the rest are current: same date as the package
    for d in $(seq 1 20); do for f in $(seq 1 100 | awk 'NR%10!=0'); do touch -d '2024-06-01 12:00 UTC' "$P/$t/d$d/f$f.dat"; done; done
  fi
  sync; local a=$(ms); (cd "$P" && wine ./deployator.exe -C="$t.ini" -QUIET); local rc=$?; local b=$(ms)
  echo "$1 $3 rc=$rc $(( (b-a)/1000000 ))"
  rm -rf "$P/$t" "$P/$t.ini"
}
wine cmd.exe /c exit >/dev/null 2>&1
for mode in fresh newer; do
  for i in $(seq 1 $RUNS); do run_one plain no $mode; run_one rollback yes $mode; done
done
rm -rf "$P"
