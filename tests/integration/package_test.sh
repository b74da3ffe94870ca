#!/usr/bin/env bash
# The Debian package as a user gets it, in three parts that ctest runs in this order:
#   build BUILD OUT     makes nulldrift_<version>-1_<arch>.deb from the build tree into OUT
#   contents OUT        its files and dependencies, the desktop entry, AppStream metadata and
#                       manual pages through their validators, and lintian
#   install OUT         as root: dpkg -i, the installed programs on scratch volumes made under
#                       a private temporary folder, dpkg -r, and nothing of it left behind
# A part that cannot run here (no root, a tool missing, the package already installed) exits
# 77, which ctest counts as skipped, and says why.
set -euo pipefail

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
the_deb() {
  local debs=("$1"/nulldrift_*.deb)
  [ -f "${debs[0]}" ] || fail "no package in $1; the build part did not run"
  echo "${debs[0]}"
}

# Lintian's warnings that the README's packaging notes justify; any other one fails.
JUSTIFIED_WARNINGS="initial-upload-closes-no-bugs"

build_part() {
  local build out
  build=$(realpath "$1")
  out=$(realpath -m "$2")
  command -v cpack >/dev/null || skip "cpack is missing"
  command -v dpkg-shlibdeps >/dev/null || skip "dpkg-shlibdeps is missing (dpkg-dev)"
  rm -rf "$out"
  mkdir -p "$out"
  (cd "$build" && cpack -B "$out" >"$out/cpack.log") || {
    cat "$out/cpack.log"
    fail "cpack"
  }
  local deb
  deb=$(the_deb "$out")
  local version arch
  version=$("$build/nulldrift-clean" --version | cut -d' ' -f2)
  arch=$(dpkg --print-architecture)
  [ "$(basename "$deb")" = "nulldrift_${version}-1_${arch}.deb" ] || fail "named $(basename "$deb")"
  echo "built $(basename "$deb")"
}

contents_part() {
  local out=$1 deb
  deb=$(the_deb "$out")
  local listing
  listing=$(dpkg-deb -c "$deb" |
    awk '{ sub(/^\./, "", $6); if ($7 == "->") print $6, $7, $8; else print $6 }')
  echo "$listing"
  for path in /usr/lib/nulldrift/nulldrift /usr/lib/nulldrift/nulldrift-clean \
    /usr/lib/nulldrift/Languages/English.ini /usr/lib/nulldrift/Languages/English.jpg \
    /usr/lib/nulldrift/pictures/DiskHDD.png /usr/lib/nulldrift/program-back.jpg \
    /usr/lib/nulldrift/sound.wav /usr/share/applications/net.nulldrift.nulldrift.desktop \
    /usr/share/metainfo/net.nulldrift.nulldrift.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/nulldrift.svg \
    /usr/share/icons/hicolor/48x48/apps/nulldrift.png \
    /usr/share/icons/hicolor/128x128/apps/nulldrift.png \
    /usr/share/icons/hicolor/256x256/apps/nulldrift.png \
    /usr/share/man/man1/nulldrift.1.gz /usr/share/man/man1/nulldrift-clean.1.gz \
    /usr/share/bash-completion/completions/nulldrift-clean /usr/share/doc/nulldrift/copyright \
    /usr/share/doc/nulldrift/changelog.Debian.gz; do
    grep -qx "$path" <<<"$listing" || fail "$path is not in the package"
  done
  grep -qx "/usr/bin/nulldrift -> ../lib/nulldrift/nulldrift" <<<"$listing" ||
    fail "/usr/bin/nulldrift is not a link to the program folder"
  grep -qx "/usr/bin/nulldrift-clean -> ../lib/nulldrift/nulldrift-clean" <<<"$listing" ||
    fail "/usr/bin/nulldrift-clean is not a link to the program folder"
  ! grep -v -e '^/usr/' -e '^/$' <<<"$listing" | grep . || fail "files outside /usr"
  # Computed from the libraries the programs link, not written by hand.
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for library in libc6 libstdc++6 libwxgtk3.2 libcurl4 libsystemd0 libcanberra0; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library"
  done

  for tool in desktop-file-validate appstreamcli man lintian; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
  done
  local tree="$out/tree"
  rm -rf "$tree"
  dpkg-deb -x "$deb" "$tree"
  desktop-file-validate "$tree/usr/share/applications/net.nulldrift.nulldrift.desktop" ||
    fail "desktop entry"
  appstreamcli validate --pedantic --no-net --no-color \
    "$tree/usr/share/metainfo/net.nulldrift.nulldrift.metainfo.xml" || fail "AppStream metadata"
  for page in "$tree"/usr/share/man/man1/*.1.gz; do
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  done

  # Lintian refuses nothing as root but says so; its tags are what counts.
  local tags
  tags=$(lintian --no-cfg "$deb" 2>/dev/null || true)
  echo "lintian:${tags:+$'\n'}$tags"
  ! grep -q '^E:' <<<"$tags" || fail "lintian reports errors"
  while read -r tag; do
    [ -z "$tag" ] && continue
    grep -qw "$tag" <<<"$JUSTIFIED_WARNINGS" || fail "lintian warning $tag is not justified"
  done < <(sed -n 's/^W: [^ ]* \([^ ]*\).*/\1/p' <<<"$tags")
  echo "contents, validators and lintian: fine"
}

cleanup() {
  mountpoint -q "$ram" && umount "$ram"
  mountpoint -q "$disk" && umount "$disk"
  [ "$installed" -eq 1 ] && dpkg -r nulldrift >/dev/null 2>&1
  rm -rf "$scratch"
}

install_part() {
  local out=$1 deb
  deb=$(the_deb "$out")
  [ "$(id -u)" -eq 0 ] || skip "installing the package needs root"
  if dpkg-query -W -f='${Status}' nulldrift 2>/dev/null | grep -q "ok installed"; then
    skip "a nulldrift package is installed on this machine already; it is left alone"
  fi
  # Globals: the clean-up runs at exit, after this function's locals are gone.
  scratch=$(mktemp -d /tmp/nulldrift-package.XXXXXX)
  ram="$scratch/scratch volume"
  disk="$scratch/disk"
  installed=0
  trap cleanup EXIT
  mkdir -p "$ram" "$disk" "$scratch/home"

  dpkg -i "$deb" >"$scratch/dpkg.log" 2>&1 || {
    cat "$scratch/dpkg.log"
    fail "dpkg -i"
  }
  installed=1
  local version
  version=$(/usr/bin/nulldrift-clean --version)
  echo "$version"
  [ "$version" = "nulldrift-clean $(dpkg-deb -f "$deb" Version | cut -d- -f1)" ] ||
    fail "--version says '$version'"

  mount -t tmpfs -o size=8m tmpfs "$ram"
  truncate -s 32M "$scratch/disk.img"
  mkfs.ext4 -q -L 'scratch "one"' "$scratch/disk.img"
  mount -o loop "$scratch/disk.img" "$disk"
  export NULLDRIFT_MOUNTS="$ram:$disk"
  export XDG_CONFIG_HOME="$scratch/home/config" XDG_DATA_HOME="$scratch/home/data"
  local list
  list=$(/usr/bin/nulldrift-clean --list)
  echo "$list"
  [ "$(wc -l <<<"$list")" -eq 3 ] || fail "--list shows other than the two scratch volumes"
  grep -q "^D .*$disk .*scratch \"one\" .*ext4 .*yes\$" <<<"$list" || fail "--list: the ext4 volume"
  grep -q "^E .*${scratch}/scratch\\\\040volume .*tmpfs .*RAM disk .*no: RAM disk\$" <<<"$list" ||
    fail "--list: the RAM disk"

  # The installed program finds its languages beside it: a whole job with its result text.
  local report
  report=$(/usr/bin/nulldrift-clean --json D) || fail "cleaning the scratch volume: $report"
  python3 -c '
import json, sys
doc = json.loads(sys.argv[1])
volume = doc["volumes"][0]
assert doc["exit_status"] == 0 and volume["completed"], doc
assert volume["result_text"] == "Completed successfully", volume
assert volume["label"] == "scratch \"one\"", volume
' "$report" || fail "the JSON report: $report"

  # The completion offers the volume that can be cleaned, by letter and by mount point.
  local offered
  offered=$(bash -c 'source /usr/share/bash-completion/completions/nulldrift-clean
    COMP_WORDS=(nulldrift-clean ""); COMP_CWORD=1; _nulldrift_clean; printf "%s\n" "${COMPREPLY[@]}"')
  [ "$offered" = "D"$'\n'"$disk" ] || fail "completion offers: $offered"

  local paths
  paths=$(dpkg-deb -c "$deb" | awk '{ sub(/^\./, "", $6); print $6 }')
  dpkg -r nulldrift >"$scratch/dpkg.log" 2>&1 || {
    cat "$scratch/dpkg.log"
    fail "dpkg -r"
  }
  installed=0
  # Without configuration files there is nothing to purge: dpkg forgets the package.
  local status
  status=$(dpkg-query -W -f='${Status}' nulldrift 2>/dev/null || true)
  case $status in
    "" | *not-installed) ;;
    *) fail "dpkg still knows the package: $status" ;;
  esac
  # Shared folders such as /usr/bin stay; everything of the package's own is gone.
  while read -r path; do
    [ -d "$path" ] && [ ! -L "$path" ] && continue
    [ -e "$path" ] || [ -L "$path" ] && fail "$path is left behind"
  done <<<"$paths"
  for folder in /usr/lib/nulldrift /usr/share/doc/nulldrift; do
    [ ! -e "$folder" ] || fail "$folder is left behind"
  done
  echo "installed, ran and removed without a trace"
}

part=$1
shift
case $part in
  build) build_part "$@" ;;
  contents) contents_part "$@" ;;
  install) install_part "$@" ;;
  *) fail "unknown part $part" ;;
esac
