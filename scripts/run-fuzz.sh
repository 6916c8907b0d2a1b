#!/usr/bin/env bash
# Builds the fuzz targets (cmake --preset fuzz) and runs each one from the inputs committed for it,
# under the address and undefined-behaviour sanitizers. Fails on the first crash, leak or
# undefined behaviour; the input that caused it is left in build/fuzz/findings.
#   scripts/run-fuzz.sh [--runs N | --seconds S]   (default: --runs 20000, what CI runs)
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-runs=20000)
case "${1:-}" in
  --runs) limit=(-runs="$2") ;;
  --seconds) limit=(-max_total_time="$2") ;;
  "") ;;
  *) echo "usage: $0 [--runs N | --seconds S]" >&2; exit 2 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${JOBS:-2}"

mkdir -p build/fuzz/findings
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$target")
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  echo "== $name (${limit[*]})"
  # Inputs found on the way go to the work folder; the committed starting inputs stay as they are.
  "$target" "${limit[@]}" -max_len=4096 -timeout=10 -artifact_prefix=build/fuzz/findings/"$name"- \
    -print_final_stats=1 "$work" "fuzz/corpus/$name" 2>&1 | tail -n 12
done
