#!/usr/bin/env bash
# The application's end-to-end tests (the application running the console until Exit, the ways of
# closing, Enter, the console on configured HID and serial scales) under valgrind memcheck. The
# About-box test is left out: it counts Loop reads in real time, which valgrind slows too much. Fails on a definite leak in the program's own code and on
# any memory error; definite leaks made inside system libraries are suppressed by
# tests/valgrind.supp. The test binary puts itself on Qt's offscreen platform.
#   scripts/valgrind-e2e.sh [build dir]     (default: build/default, as `make test` leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
binary="$build/tests/app/app_tests"
tests='AppTest.*:HidScaleConsole.*:ConsoleTest.consoleWeighs*-AppTest.aboutItem*'

command -v valgrind >/dev/null || { echo "valgrind-e2e: valgrind is not installed" >&2; exit 1; }
[ -x "$binary" ] || { echo "valgrind-e2e: no $binary; build it first (make test)" >&2; exit 1; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
timeout 300 valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --error-exitcode=1 --num-callers=40 \
  --suppressions=tests/valgrind.supp "$binary" --gtest_filter="$tests" 2>&1 | tee "$log" || status=$?

# A filter that matches nothing would pass without running anything.
if ! grep -q "^\[  PASSED  \] [1-9][0-9]* tests\?\." "$log" || grep -q "^\[  FAILED  \]" "$log"; then
  echo "valgrind-e2e: the tests ($tests) did not all run and pass" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "valgrind-e2e: no definite leak and no memory error"
exit "$status"
