#!/usr/bin/env bash
# Builds the Windows tree and runs its tests under Wine on a virtual X display:
#   scripts/test-windows.sh [CTEST ARGS...]
# The 32-bit build is tested where the kernel runs 32-bit programs; where it does not (IA-32
# emulation switched off, so no 32-bit Wine either) the same sources are built for 64-bit Windows
# and tested under 64-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  preset=windows wineserver=/usr/lib/wine/wineserver32 loader=wine
else
  echo "test-windows: this kernel runs no 32-bit programs; testing the 64-bit build under 64-bit Wine"
  preset=windows-x64 wineserver=/usr/lib/wine/wineserver64 loader=/usr/lib/wine/wine64
  export WINELOADER=$loader
fi
tree=build/$preset

# The 32-bit build is what ships, so what ships of it is built even where only the 64-bit one
# can be tested.
if [ $preset != windows ]; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$JOBS" --target windows_shipped
fi
cmake --preset $preset >/dev/null
cmake --build --preset $preset -j "$JOBS"
# What only the shipped 32-bit files can get wrong, checked on the files themselves.
scripts/check-shipped.sh build/windows

export WINEPREFIX=$PWD/$tree/wine WINESERVER=$wineserver WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# A virtual display when there is none, for as long as the tests run.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 130); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break; done
  Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
fi
finish() {
  exec 7>&-
  "$wineserver" -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid"; wait "$xvfb_pid"; } 2>/dev/null || true
}
trap finish EXIT

# A fresh prefix for every run, so that nothing a previous run registered or left behind leaks in.
# One server for the whole run, and Wine's own background programs (services, devices) started
# under it at set-up, all detached from our streams: otherwise each test waits for the server to
# linger, and the background programs keep CTest's pipes open.
start=$(date +%s)
"$wineserver" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
# Debian's Wine does not find its own fonts ("MS Sans Serif" among them) unless they are in the
# prefix; there before the prefix starts, they are indexed once while it is made.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
"$wineserver" -p </dev/null >/dev/null 2>&1
"$loader" wineboot -i </dev/null >/dev/null 2>&1
# Without a window manager, managed and decorated windows make every destroyed window wait.
for value in Managed Decorated; do
  "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v $value /d N /f </dev/null >/dev/null 2>&1
done
# The desktop, opened once with our streams detached and kept open until the run ends.
exec 7> >(exec "$loader" "$tree/tests/windows/keep_desktop.exe" >/dev/null 2>&1)
echo "test-windows: Wine prefix ready in $(($(date +%s) - start)) s"

start=$(date +%s)
ctest --preset $preset -j "$JOBS" "$@"
echo "test-windows: tests ran in $(($(date +%s) - start)) s"
