#!/usr/bin/env bash
# The headless end-to-end test (the application runs the console once: Open, reads, Loop, Direct IO,
# Close, Exit) under valgrind memcheck. Fails on a definite leak in the program's own code and on
# any memory error; definite leaks made inside system libraries are suppressed by
# tests/valgrind.supp. The test binary puts itself on Qt's offscreen platform.
#   scripts/valgrind-e2e.sh [build dir]     (default: build/default, as `make test` leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
binary="$build/tests/app/app_tests"
test=AppTest.applicationRunsTheConsoleOnceAndEndsOnExit

command -v valgrind >/dev/null || { echo "valgrind-e2e: valgrind is not installed" >&2; exit 1; }
[ -x "$binary" ] || { echo "valgrind-e2e: no $binary; build it first (make test)" >&2; exit 1; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
timeout 300 valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --error-exitcode=1 --num-callers=40 \
  --suppressions=tests/valgrind.supp "$binary" --gtest_filter="$test" 2>&1 | tee "$log" || status=$?

# A filter that matches nothing would pass without running anything.
if ! grep -q "^\[  PASSED  \] 1 test\." "$log"; then
  echo "valgrind-e2e: $test did not run and pass" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "valgrind-e2e: no definite leak and no memory error"
exit "$status"
