#!/usr/bin/env bash
# Checks the 32-bit files that ship, for what differs from the 64-bit build that the Wine tests run
# where 32-bit programs cannot: the format, the subsystem, DLLs that every Windows has, and the
# COM entry points exported under their plain names (undecorated, as regsvr32 looks them up), and
# that each file is stripped.
#   scripts/check-shipped.sh build/windows
set -u
tree=${1:?usage: scripts/check-shipped.sh <32-bit build tree>}
dump() { i686-w64-mingw32-objdump -p "$1"; }
failures=0
check() { # description, command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
gui() { dump "$1" | grep -q "Subsystem.*(Windows GUI)"; }
console() { dump "$1" | grep -q "Subsystem.*(Windows CUI)"; }
is_pe32() { dump "$1" | grep -q 'Magic.*(PE32)$'; }
# hid.dll and setupapi.dll (the HID API that finds and reads USB HID scales; tarabo-scales.exe lists
# the COM ports with SetupAPI) are part of every Windows too.
system_dlls_only() {
  ! dump "$1" | awk '/DLL Name:/ { print tolower($3) }' |
    grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|ole32\.dll|oleaut32\.dll|advapi32\.dll|msvcrt\.dll|version\.dll|comctl32\.dll|shell32\.dll|hid\.dll|setupapi\.dll'
}
# Stripped as it is linked (cmake/split-debug.sh): no symbol table, no debug section, and a
# .gnu_debuglink naming the debug file kept beside it in the build tree.
stripped() {
  dump "$1" | grep -q "symbols stripped" &&
    ! i686-w64-mingw32-objdump -h "$1" | grep -qE '^ +[0-9]+ +\.(debug|zdebug)' &&
    i686-w64-mingw32-objdump -h "$1" | grep -qE '^ +[0-9]+ +\.gnu_debuglink' &&
    [ -s "$1.debug" ]
}
exports() { dump "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ { print $NF }' | sort | tr '\n' ' '; }

exe=$tree/Tarabo.exe dll=$tree/TaraboScale.dll
check "Tarabo.exe is a 32-bit program" is_pe32 "$exe"
check "Tarabo.exe is a GUI-subsystem program" gui "$exe"
check "Tarabo.exe imports only system DLLs" system_dlls_only "$exe"
check "TaraboScale.dll is a 32-bit DLL" is_pe32 "$dll"
check "TaraboScale.dll imports only system DLLs" system_dlls_only "$dll"
check "TaraboScale.dll exports the four COM entry points undecorated" \
  test "$(exports "$dll")" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
tool=$tree/tarabo-scales.exe
check "tarabo-scales.exe is a 32-bit program" is_pe32 "$tool"
check "tarabo-scales.exe is a console-subsystem program" console "$tool"
check "tarabo-scales.exe imports only system DLLs" system_dlls_only "$tool"
for f in "$exe" "$dll" "$tool"; do
  check "$(basename "$f") is stripped, its debug information in $(basename "$f").debug" stripped "$f"
done
[ "$failures" -eq 0 ]
