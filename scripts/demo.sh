#!/usr/bin/env bash
# Shows on a scratch volume that deleted content is gone after a way-2 cleaning: writes files
# with a marker text, deletes them, counts the marker on the raw image, cleans, counts again.
# Needs root (it loop-mounts an image). Everything it makes lives in one temporary folder.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  echo "make demo needs root: it creates and loop-mounts a scratch ext4 volume." >&2
  echo "Run it as root, for example: sudo make demo" >&2
  exit 1
fi

BUILD=${BUILD:-build}
CLEAN="$PWD/$BUILD/nulldrift-clean"
MARKER="NULLDRIFT-DEMO-SECRET"
WORK=$(mktemp -d /tmp/nulldrift-demo.XXXXXX)
IMAGE="$WORK/volume.img"
MNT="$WORK/mnt"
LOOP=""

cleanup() {
  mountpoint -q "$MNT" 2>/dev/null && umount "$MNT"
  [ -n "$LOOP" ] && losetup -d "$LOOP" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

count_marker() { grep -a -o "$MARKER" "$IMAGE" | wc -l || true; }

mount_volume() {
  LOOP=$(losetup --find --show "$IMAGE")
  mount "$LOOP" "$MNT"
}

unmount_volume() {
  umount "$MNT"
  losetup -d "$LOOP"
  LOOP=""
}

mkdir -p "$MNT" "$WORK/data" "$WORK/config"
truncate -s 96M "$IMAGE"
mkfs.ext4 -q -F -L demo "$IMAGE"
mount_volume

echo "1. Writing 300 files of 64 KiB that contain the marker \"$MARKER\" ..."
mkdir "$MNT/documents"
for i in $(seq 1 300); do
  { yes "$MARKER $i" || true; } | head -c 65536 >"$MNT/documents/letter-$i.txt"
done
echo "keep me: $(date)" >"$MNT/kept.txt"
sync
echo "2. Deleting them (a file the user keeps stays: kept.txt)."
rm -rf "$MNT/documents"
sync
unmount_volume
before=$(count_marker)
echo "   The marker still occurs $before times on the raw volume."

mount_volume
echo "3. Cleaning the volume with nulldrift-clean --way 2 ..."
NULLDRIFT_MOUNTS="$MNT" XDG_DATA_HOME="$WORK/data" XDG_CONFIG_HOME="$WORK/config" \
  "$CLEAN" --way 2 "$MNT"
kept=$(cat "$MNT/kept.txt")
unmount_volume
after=$(count_marker)

echo
echo "Marker occurrences on the raw volume: before $before, after $after."
echo "kept.txt still reads: $kept"
if [ "$after" -ne 0 ]; then
  echo "Deleted content is still on the volume." >&2
  exit 1
fi
