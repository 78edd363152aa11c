#!/bin/bash
# Runs .ci/run in a brand-new minimal Debian 12 system, as a clean CI machine would:
# a chroot made by mmdebstrap (only Essential packages and apt), this repository's
# committed HEAD cloned into it, and nothing else. A development machine has
# packages that a fresh one lacks; run this after changing what the scripts need.
#   scripts/fresh-debian.sh [DIR]   DIR: where the chroot goes (default /var/tmp/nortavel-fresh)
# Needs root. The chroot is made anew at every run and removed at the end; the
# run's output is also kept in DIR.log.
set -eu -o pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-/var/tmp/nortavel-fresh}
[ "$(id -u)" -eq 0 ] || { echo "run as root: the chroot needs mounts" >&2; exit 1; }
command -v mmdebstrap >/dev/null || {
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
}

mounted=()
cleanup() {
  local i p
  # Wine's servers may outlive the run inside the chroot; they hold its mounts.
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$dir" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  sleep 1
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"; done
  # Never remove a tree that still has the host's /dev or /proc mounted in it.
  if grep -q " $dir/" /proc/mounts; then
    echo "left $dir in place: something is still mounted in it" >&2
  else
    rm -rf "$dir"
  fi
}
trap cleanup EXIT
rm -rf "$dir"

mirror=http://deb.debian.org/debian
mmdebstrap --variant=apt --quiet bookworm "$dir" \
  "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
  "deb http://deb.debian.org/debian-security bookworm-security main"

# Wine needs /proc, /dev and shared memory, apt needs name resolution.
for m in proc sys dev dev/pts; do
  mkdir -p "$dir/$m"
  case $m in
    proc) mount -t proc proc "$dir/proc" ;;
    *) mount --bind "/$m" "$dir/$m" ;;
  esac
  mounted+=("$dir/$m")
done
mkdir -p "$dir/dev/shm"; mount -t tmpfs shm "$dir/dev/shm"; mounted+=("$dir/dev/shm")
cp /etc/resolv.conf "$dir/etc/resolv.conf"

git clone --quiet "$root" "$dir/work/main"
[ -d "$root/../shared" ] && cp -r "$root/../shared" "$dir/work/shared"

status=0
chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root CI=true \
  /bin/bash -c 'cd /work/main && bash .ci/run </dev/null' 2>&1 | tee "$dir.log" || status=1
echo "fresh Debian 12: .ci/run $([ $status -eq 0 ] && echo passed || echo failed) (output in $dir.log)"
exit $status
