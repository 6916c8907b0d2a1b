#!/usr/bin/env bash
# Builds the Windows tree and runs its tests under Wine on a virtual X display:
#   scripts/test-windows.sh [CTEST ARGS...]
# The 32-bit build is tested where the kernel runs 32-bit programs; where it does not (IA-32
# emulation switched off, so no 32-bit Wine either) the same sources are built for 64-bit Windows
# and tested under 64-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

# 32-bit Wine that starts only because qemu-i386 emulates it (make test-windows32 may have
# registered it machine-wide meanwhile) would make every test take minutes: that counts as none.
emulated_i386() { grep -qs 'qemu-i386' /proc/sys/fs/binfmt_misc/*; }
if ! emulated_i386 && /usr/lib/wine/wine --version >/dev/null 2>&1; then
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

# A fresh prefix on a virtual display, with one server and the desktop held open for the whole run.
. scripts/wine-session.sh
trap wine_session_end EXIT
start=$(date +%s)
wine_session_start "$loader" "$wineserver" "$PWD/$tree/wine" "$tree/tests/windows/keep_desktop.exe"
echo "test-windows: Wine prefix ready in $(($(date +%s) - start)) s"

start=$(date +%s)
ctest --preset $preset -j "$JOBS" "$@"
echo "test-windows: tests ran in $(($(date +%s) - start)) s"
