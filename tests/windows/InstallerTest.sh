#!/usr/bin/env bash
# The Windows installer under Wine: a silent install puts the program, the uninstaller, the
# Start-menu shortcut and the uninstall entry in place; a silent uninstall leaves nothing behind.
#   InstallerTest.sh WINE-RUN PREFIX SETUP.exe PROGRAM.exe
set -u
run=$1 prefix=$2 setup=$3 program=$4
drive=$prefix/drive_c
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarabo'
failures=0
check() { # description, command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
not() { ! "$@"; }
# Every file and folder of the prefix but the temporary ones.
snapshot() { (cd "$drive" && find . \( -ipath './users/*/temp' -o -ipath './windows/temp' \) -prune -o -print | sort); }
registered() { "$run" "$prefix" "$drive/windows/system32/reg.exe" query "$key" /v UninstallString 2>/dev/null | grep -q 'Uninstall.exe'; }

before=$(snapshot)
check "silent install exits 0" "$run" "$prefix" "$setup" /S
dir=$(find "$drive" -maxdepth 2 -ipath "$drive/program files*/tarabo" | head -n 1)
check "the program is installed as it was built" cmp -s "$program" "$dir/Tarabo.exe"
check "tarabo-scales.exe is installed beside it" test -f "$dir/tarabo-scales.exe"
check "the uninstaller is installed" test -f "$dir/Uninstall.exe"
check "the Start-menu shortcut is there" test -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarabo/Tarabo.lnk"
check "the uninstall entry is registered" registered
check "Tarabo's own scale control is not installed by default" test ! -e "$dir/TaraboScale.dll"

check "silent uninstall exits 0" "$run" "$prefix" "$dir/Uninstall.exe" /S
# The uninstaller runs from a copy of itself, which goes on after the first one has ended.
for _ in $(seq 300); do [ -e "$dir" ] || break; sleep 0.1; done
check "the uninstall entry is gone" not registered
check "nothing is left behind" diff <(echo "$before") <(snapshot)

echo "installer: $((9 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
