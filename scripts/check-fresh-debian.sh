#!/usr/bin/env bash
# Checks the README's two commands the way a new user meets them: a fresh minimal Debian 12 root
# (debootstrap --variant=minbase bookworm), the committed checkout copied in, then, inside it as
# root, `./make.sh test`, and `./make.sh run` on a virtual display until the console's window is up.
# Needs root and the network to Debian's mirror; takes 10 to 20 minutes. Not part of CI.
#   scripts/check-fresh-debian.sh [root dir]      (default: build/fresh-debian, made anew)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-build/fresh-debian}")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

[ "$(id -u)" -eq 0 ] || { echo "check-fresh-debian: run as root (debootstrap and chroot need it)" >&2; exit 1; }
command -v debootstrap >/dev/null || { apt-get update -qq && apt-get install -y -qq debootstrap; }

mounts=(proc sys dev dev/pts)
cleanup() {
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "$root/${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

rm -rf "$root"
echo "check-fresh-debian: debootstrap into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
  { tail -20 "$root.debootstrap.log" >&2; exit 1; }
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"

mkdir -p "$root/root/tarabo"
git archive HEAD | tar -x -C "$root/root/tarabo"

inside() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb bash -c "$1"; }

echo "check-fresh-debian: ./make.sh test"
inside 'cd /root/tarabo && ./make.sh test'

echo "check-fresh-debian: ./make.sh run on a virtual display"
# xwininfo is the check's own tool, not something the README asks for.
inside 'apt-get install -y -qq --no-install-recommends x11-utils >/dev/null'
inside 'cd /root/tarabo && xvfb-run -a bash -c "
  ./make.sh run & run=\$!
  for i in \$(seq 60); do
    xwininfo -root -tree 2>/dev/null | grep -q \"\\\"Tarabo\\\"\" && { echo console window is up; kill \$run; exit 0; }
    sleep 2
  done
  echo the console window did not appear >&2; kill \$run; exit 1"'
echo "check-fresh-debian: both README commands work on a fresh Debian 12"
