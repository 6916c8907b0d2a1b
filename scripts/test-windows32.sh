#!/usr/bin/env bash
# Builds the 32-bit Windows tree (build/windows, what ships) and runs its tests under 32-bit Wine on
# a virtual X display:
#   scripts/test-windows32.sh [TEST PROGRAM...]
# By default every *_tests program of the tree (`all` says the same), the serial COM ports'
# included; named ones run alone. Each runs once, all its cases in one process: under emulation,
# starting a 32-bit process is what costs.
#
# Where the kernel runs no 32-bit programs, they run under qemu-i386 user-mode emulation through
# binfmt_misc. The prefix is made, and Wine's own background programs run, by 64-bit Wine natively:
# a 64-bit server serves 32-bit programs in the prefix, and only the tests and what they start are
# emulated. The emulator is registered in a binfmt_misc of the run's own (in a user and mount
# namespace; Linux 6.7 or later), so that nothing else on the machine, another Wine session among
# them, has its 32-bit programs emulated; on older kernels, for the whole machine while the run
# lasts (as root, or through sudo).
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."
JOBS=${JOBS:-2}
tree=build/windows

suites=("$@")
[ $# -gt 0 ] || suites=(all)

binfmt=/proc/sys/fs/binfmt_misc
entry=tarabo-i386
register_i386() { # [sudo]
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  # 'F': the emulator is opened now, so it is found whatever the program's root and namespace.
  echo ":$entry:M::$magic:$mask:$(command -v qemu-i386-static):F" | ${1:-} tee $binfmt/register >/dev/null
}
emulation_end() { :; }

if [ -n "${TARABO_I386_NAMESPACE:-}" ]; then
  # In our own namespaces: a binfmt_misc of our own.
  mount -t binfmt_misc binfmt_misc $binfmt
  register_i386
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  command -v qemu-i386-static >/dev/null ||
    { echo "test-windows32: qemu-i386-static is missing (scripts/install-deps.sh --windows32)" >&2; exit 1; }
  if unshare --user --map-root-user --mount \
       sh -c "mount -t binfmt_misc binfmt_misc $binfmt" 2>/dev/null; then
    TARABO_I386_NAMESPACE=1 exec unshare --user --map-root-user --mount "$self" "$@"
  fi
  # The machine's binfmt_misc. A run that ends while another still uses the entry (a shared lock
  # on the lock file) leaves it to that one.
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  [ -e $binfmt/register ] || $sudo mount -t binfmt_misc binfmt_misc $binfmt
  lock=/tmp/tarabo-i386-binfmt.lock
  exec 8>>"$lock"
  flock -s 8
  emulation_end() {
    exec 8>&-
    if [ -e $binfmt/$entry ] && flock -n -x "$lock" true; then
      echo -1 | $sudo tee $binfmt/$entry >/dev/null || true
    fi
  }
  trap emulation_end EXIT
  [ -e $binfmt/$entry ] || register_i386 $sudo
fi
if [ -e $binfmt/$entry ]; then
  /usr/lib/wine/wine --version >/dev/null ||
    { echo "test-windows32: 32-bit Wine does not start under qemu-i386" >&2; exit 1; }
  echo "test-windows32: 32-bit programs run under qemu-i386 emulation"
  # For the test that cannot run there (README); Wine passes it on to the programs.
  export TARABO_QEMU_I386=1
fi

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$JOBS"
scripts/check-shipped.sh $tree
[ "${suites[*]}" != all ] ||
  mapfile -t suites < <(find $tree/tests -name '*_tests.exe' -printf '%f\n' | sed 's/\.exe$//' | sort)

. scripts/wine-session.sh
com_scales=$tree/tests/windows/com-scales
trap 'tests/windows/ComScales.sh stop $com_scales; wine_session_end; emulation_end' EXIT
start=$(date +%s)
# The prefix as wineboot made it is kept in wine-template for the next run (a few minutes each).
wine_session_start /usr/lib/wine/wine64 /usr/lib/wine/wineserver64 "$PWD/$tree/wine" \
                   $tree/tests/windows/keep_desktop.exe "$PWD/$tree/wine-template"
echo "test-windows32: Wine prefix ready in $(($(date +%s) - start)) s"
# The fake scales on the prefix's COM9 to COM12, for the end-to-end and COM port tests.
tests/windows/ComScales.sh start "$PWD/$tree/wine" $tree/tests/windows/fake-com-scales $com_scales

failed=()
run_start=$(date +%s)
for suite in "${suites[@]}"; do
  program=$(find $tree/tests -name "$suite.exe" | head -1)
  [ -n "$program" ] || { echo "test-windows32: no test program $suite in $tree" >&2; exit 2; }
  start=$(date +%s)
  status=0
  scripts/wine-run.sh "$PWD/$tree/wine" "$program" ${TARABO_GTEST_ARGS:---gtest_brief=1} || status=$?
  echo "test-windows32: $suite $([ $status -eq 0 ] && echo passed || echo FAILED) in $(($(date +%s) - start)) s"
  [ $status -eq 0 ] || failed+=("$suite")
done
echo "test-windows32: ${#suites[@]} test programs in $(($(date +%s) - run_start)) s ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
[ ${#failed[@]} -eq 0 ] || { echo "test-windows32: failed: ${failed[*]}" >&2; exit 1; }
