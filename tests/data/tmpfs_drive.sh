#!/bin/sh
# Gives the Wine prefix a small drive backed by tmpfs, for the disk-full tests.
#   tmpfs_drive.sh mount LETTER SIZE    e.g. mount q 1m (needs the right to mount)
#   tmpfs_drive.sh readonly LETTER     the mounted drive becomes read-only
#   tmpfs_drive.sh unmount LETTER
# Started from a test inside Wine: WINEPREFIX is inherited.
set -u
link="${WINEPREFIX:?}/dosdevices/$2:"
case "$1" in
mount)
    dir="$(mktemp -d /tmp/dp-tmpfs.XXXXXX)" || exit 1
    if mount -t tmpfs -o "size=$3" tmpfs "$dir" 2>/dev/null; then
        ln -sfn "$dir" "$link"
    else
        rmdir "$dir"
        exit 1
    fi
    ;;
readonly)
    dir="$(readlink "$link" 2>/dev/null || true)"
    case "$dir" in
    /tmp/dp-tmpfs.*)
        # The remount is refused while a file there is open for writing:
        # try again for a while rather than leave the drive writable.
        for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
            mount -o remount,ro "$dir" 2>/dev/null && exit 0
            sleep 0.1
        done
        exit 1
        ;;
    esac
    ;;
unmount)
    dir="$(readlink "$link" 2>/dev/null || true)"
    rm -f "$link"
    case "$dir" in
    /tmp/dp-tmpfs.*) umount "$dir" && rmdir "$dir" ;;
    esac
    ;;
esac
