#!/usr/bin/env bash
# Serial scales on COM ports under Wine, end to end: with the fake Toledo scales of
# fake-com-scales on the prefix's COM9 to COM12 (ComScales.sh start), the service's test program
# and tarabo-scales.exe read them.
#   SerialComTest.sh WINE-RUN PREFIX SERIAL-TESTS.exe TARABO-SCALES.exe
# A logical name configured on COM9 in the prefix's scales.conf reads too.
set -u
run=$1 prefix=$2 tests=$3 tool=$4
failures=0 total=0
check() { # description, command...
  local what=$1
  shift
  total=$((total + 1))
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
says() { grep -qF -- "$1" <<<"$2" || { echo "  expected \"$1\" in:"; sed 's/^/    /' <<<"$2"; false; }; }
exits() { [ "$1" = "$2" ] || { echo "  exit status $2, expected $1"; false; }; }
tool() { "$run" "$prefix" "$tool" "$@" 2>&1; }

config=$prefix/drive_c/ProgramData/Tarabo/scales.conf
trap 'rm -f "$config"; rmdir "$(dirname "$config")" 2>/dev/null' EXIT
check "the fake scales are on COM9 to COM12" test -L "$prefix/dosdevices/com12"

check "the service reads the scales on the COM ports (serial_com_tests)" "$run" "$prefix" "$tests"

out=$(tool probe COM9 --quick); status=$?
check "probe --quick finds the Toledo scale on COM9" says "A Toledo 8213 scale answered on COM9 (9600 7E1)" "$out"
check "probe --quick prints the section for COM9" says "device = COM9" "$out"
check "probe --quick exits 0 when a scale answered" exits 0 $status
out=$(tool probe COM8 --quick); status=$?
check "probe of a port that is not there says so" says "COM8: no such port" "$out"
check "probe of a port that is not there exits 1" exits 1 $status

out=$(tool list); status=$?
check "list has the serial ports' heading" says "Serial ports:" "$out"
check "list shows the built-in K350" says "K350  driver=simulated  (built in)" "$out"
check "list exits 0" exits 0 $status
# The ports Wine made at boot are in the serial device map, the list's last source.
for port in $("$run" "$prefix" "$prefix/drive_c/windows/system32/reg.exe" query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' |
              awk '$2 == "REG_SZ" { print $3 }'); do
  check "list shows $port of the serial device map" says "  $port" "$out"
done

out=$(tool read K350); status=$?
check "read of the built-in K350 gives the simulated scale's weight" says "Tarabo simulated K350" "$out"
check "read of the built-in K350 exits 0" exits 0 $status

out=$(tool monitor K350); status=$?
check "monitor says it is not available on Windows" says "monitor is not available on Windows" "$out"
check "monitor exits 2" exits 2 $status

mkdir -p "$(dirname "$config")"
printf '[WINECOM]\ndriver = serial\ndevice = COM9\nprotocol = toledo\n' >"$config"
out=$(tool read WINECOM); status=$?
check "read of a name configured on COM9 gives the weight" says "1.250 Kg" "$out"
check "read exits 0" exits 0 $status
out=$(tool list)
check "list shows the name configured on COM9" says "WINECOM  driver=serial  device=COM9" "$out"

echo "serial COM ports: $((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
