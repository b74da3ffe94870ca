# A scratch volume on a loop device, mapped as drive D: of the scratch prefix; sourced (POSIX sh)
# with work (a private temporary folder) and prefix (the Wine prefix) set. The caller's trap
# runs drop_drive and unmount_volume, also when a test fails.

device=""

# make_volume ext4|ntfs [MiB [ext4 inodes]]: a fresh volume at $work/volume on a loop device.
make_volume() {
  rm -f "$work/image"
  truncate -s "${2:-32}M" "$work/image"
  device="$(losetup --find --show "$work/image")"
  mkdir -p "$work/volume"
  case "$1" in
    ext4)
      mkfs.ext4 -q -F -m 0 ${3:+-N "$3"} "$device"
      mount "$device" "$work/volume"
      # ext4 keeps a pool of clusters that nobody may write, which the Linux build sets aside
      # for its fill; under Wine the program cannot, so the harness does.
      pool="/sys/fs/ext4/$(basename "$device")/reserved_clusters"
      if [ -w "$pool" ]; then echo 0 >"$pool"; fi ;;
    ntfs)
      mkfs.ntfs -q -F -f "$device" >/dev/null
      ntfs-3g "$device" "$work/volume" ;;
  esac
}

unmount_volume() {
  if mountpoint -q "$work/volume" 2>/dev/null; then
    umount "$work/volume" 2>/dev/null || umount -l "$work/volume" || true
  fi
  if [ -n "$device" ]; then
    losetup -d "$device" 2>/dev/null || true
    device=""
  fi
}

# The volume as drive D:; Wine reads the volume's facts (file system, serial number) from the
# device behind the "d::" link.
map_drive() {
  drop_drive
  ln -sfn "$work/volume" "$prefix/dosdevices/d:"
  ln -sfn "$device" "$prefix/dosdevices/d::"
}

drop_drive() {
  rm -f "$prefix/dosdevices/d:" "$prefix/dosdevices/d::"
}
