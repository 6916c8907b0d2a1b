#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, for CTest and GoogleTest's test discovery:
#   scripts/wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the build tree's Wine prefix, made by scripts/test-windows.sh. The program's exit code
# is passed on, and its output once it has ended, without carriage returns, so that test names
# read back by CTest end where they should.
set -u
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

# The output goes through files, not pipes: a program of Wine's own that a test starts (the
# desktop, a service) inherits the test's streams and would hold a pipe open long after the end.
out=$(mktemp) err=$(mktemp)
"$loader" "$@" >"$out" 2>"$err"
status=$?
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
rm -f "$out" "$err"
exit $status
