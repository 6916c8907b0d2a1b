#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, for CTest and GoogleTest's test discovery:
#   scripts/wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the build tree's Wine prefix, made by scripts/test-windows.sh. The program's exit code
# is passed on; the carriage returns of its console output are dropped, so that test names read
# back by CTest end where they should.
set -uo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# A 64-bit program needs the 64-bit loader; Debian's wine script would always pick the 32-bit one.
loader=wine
offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
if [ -n "$offset" ] && [ "$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')" = 8664 ]; then
  loader=/usr/lib/wine/wine64
  export WINELOADER=$loader WINESERVER=/usr/lib/wine/wineserver64
fi

"$loader" "$@" | tr -d '\r'
