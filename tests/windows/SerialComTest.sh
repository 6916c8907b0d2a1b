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
trap 'rm -f "$config" "$(dirname "$config")"/*.cap; rmdir "$(dirname "$config")" 2>/dev/null' EXIT
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

mkdir -p "$(dirname "$config")"
printf '[WINECOM]\ndriver = serial\ndevice = COM9\nprotocol = toledo\n' >"$config"
out=$(tool read WINECOM); status=$?
check "read of a name configured on COM9 gives the weight" says "1.250 Kg" "$out"
check "read exits 0" exits 0 $status
out=$(tool list)
check "list shows the name configured on COM9" says "WINECOM  driver=serial  device=COM9" "$out"

# monitor, record, replay and doctor through tarabo-scales.exe; a capture recorded on Linux
# (tests/answers/captures) replays here, and one recorded here replays there.
captures=$(dirname "$0")/../answers/captures
cp "$captures/toledo-linux.cap" "$(dirname "$config")/linux.cap"
printf '[MOVING]\ndriver = serial\ndevice = COM10\nprotocol = toledo\n[FROMLINUX]\ndriver = replay\nfile = linux.cap\n' >>"$config"
printf '[FROMHERE]\ndriver = replay\nfile = here.cap\n' >>"$config"
out=$(tool monitor --json WINECOM --for=600); status=$?
check "monitor --json shows COM9's readings" says '"event":"reading","status":"stable","weight":1250,' "$out"
check "monitor ends at --for with 0" exits 0 $status
out=$(tool record MOVING 'C:\ProgramData\Tarabo\here.cap' --for 1000); status=$?
check "record exits 0" exits 0 $status
check "record keeps COM10's requests and answers" says "< 02 3f 61 0d" "$(cat "$(dirname "$config")/here.cap")"
for name in FROMLINUX FROMHERE; do
  out=$(tool read $name --timeout 2000); status=$?
  check "$name replays: in motion, then 1.250 kg" says "1.250 Kg" "$out"
done
out=$(tool doctor WINECOM); status=$?
check "doctor finds COM9 free" says "COM9 opens: no other program has it" "$out"
check "doctor exits 0 when nothing is in the way" exits 0 $status
out=$(tool doctor COM8); status=$?
check "doctor says COM8 is not there, and which ports are" says "COM8 does not exist; the COM ports there are: " "$out"
check "doctor exits 1 on a problem" exits 1 $status
"$run" "$prefix" "$prefix/drive_c/windows/system32/reg.exe" add 'HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\Scale\VIEWTEST' /ve /d Maker.Scale /f /reg:64 >/dev/null 2>&1
out=$(tool doctor VIEWTEST)
check "doctor finds an OPOS entry the 32-bit control does not see" says "VIEWTEST is set up in the 64-bit registry view" "$out"
"$run" "$prefix" "$prefix/drive_c/windows/system32/reg.exe" delete 'HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\Scale\VIEWTEST' /f /reg:64 >/dev/null 2>&1

echo "serial COM ports: $((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
