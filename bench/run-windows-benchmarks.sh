#!/usr/bin/env bash
# The Windows build's benchmarks under Wine, as rows of bench/run-benchmarks.sh's table, then a
# blank line and notes. Each figure is set against the floor (a bare Win32 dialog of the console's
# template) measured in the same run under the same Wine. Builds what it runs (build output on
# stderr); exits 1 when a goal is missed or a benchmark fails.
#   bench/run-windows-benchmarks.sh
# The 32-bit build is measured where the kernel runs 32-bit programs; where it does not, the same
# sources built for 64-bit Windows, under 64-bit Wine. The file sizes are always the 32-bit ones.
set -euo pipefail
export LC_NUMERIC=C
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
runs=41 batches=25 reads=100

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  preset=windows wineserver=/usr/lib/wine/wineserver32 loader=wine build="32-bit build"
else
  preset=windows-x64 wineserver=/usr/lib/wine/wineserver64 loader=/usr/lib/wine/wine64
  build="64-bit build, 64-bit Wine"
  export WINELOADER=$loader
fi
tree=build/$preset
bin=$tree/bench/win32

{
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$JOBS" --target windows_shipped
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "$JOBS" --target windows_bench
} >&2

out=$(mktemp -d)
failed=0
. bench/report.sh
. scripts/wine-session.sh
trap 'wine_session_end; rm -rf "$out"' EXIT
# Its own prefix, so that it never meets the tests' prefix of the same tree.
wine_session_start "$loader" "$wineserver" "$PWD/$tree/bench-wine" "$bin/bench_win_keep_desktop.exe"

# Every program under a time limit of its own as well, so that nothing hangs the run.
run winstartup timeout 300 scripts/wine-run.sh "$WINEPREFIX" "$bin/bench_win_startup.exe" --runs $runs
run winread timeout 300 scripts/wine-run.sh "$WINEPREFIX" "$bin/bench_win_read.exe" --batches $batches --reads $reads

st=$(get winstartup win_startup_tarabo_ms); sf=$(get winstartup win_startup_floor_ms)
mt=$(get winstartup win_peak_ws_tarabo_kib); mf=$(get winstartup win_peak_ws_floor_kib)
IFS='|' read -r s_ratio s_ok <<<"$(compare "$st" "$sf" 1.05)"
IFS='|' read -r m_ratio m_ok <<<"$(compare "$mt" "$mf" 1.05)"
rt=$(get winread win_read_tarabo_us); rf=$(get winread win_read_floor_us)
IFS='|' read -r r_ratio r_ok <<<"$(compare "$rt" "$rf" 1.2)"

# size FILE GOAL KIB: a shipped file's row, its size in whole KiB against a goal such as "< 1536"
# or "<= 461".
size() {
  local bytes kib shown=n/a ok=0
  if bytes=$(stat -c %s "build/windows/$1" 2>/dev/null); then
    kib=$(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1024 }') shown="$kib KiB"
    ok=$(awk -v k="$kib" -v g="$2" -v l="$3" 'BEGIN { print (g == "<" ? k < l : k <= l) ? 1 : 0 }')
  fi
  echo "| Windows file as shipped (32-bit, stripped): $1 | $shown | – | – | ${2/<=/≤} $3 KiB | $(verdict "$ok") |"
}

rows=$(cat <<TABLE
| Windows start-up under Wine ($build): process start to the console shown and painted, median of $runs runs | ${st:-n/a} ms | ${sf:-n/a} ms | $s_ratio | ≤ 1.05 | $s_ok |
| Windows peak working set as Wine reports it, at the same runs' "ready", median | $(mib "$mt") | $(mib "$mf") | $m_ratio | ≤ 1.05 | $m_ok |
| Windows Read Weight under Wine ($build), click to window repainted, zero-latency scale through COM, median of $batches × $reads | $(rate "$rt") | $(rate "$rf") | $r_ratio | ≤ 1.20 | $r_ok |
$(size Tarabo.exe "<=" 461)
$(size TaraboScale.dll "<" 1536)
$(size tarabo-scales.exe "<" 1536)
TABLE
)
echo "$rows"
[[ $rows == *FAIL* ]] && failed=1
echo
echo "Windows: $($loader --version); window: console $(get winread window_tarabo_px), floor $(get winread window_floor_px) pixels; start-up min/max: console $(get winstartup win_startup_tarabo_min_ms)/$(get winstartup win_startup_tarabo_max_ms) ms, floor $(get winstartup win_startup_floor_min_ms)/$(get winstartup win_startup_floor_max_ms) ms."
exit $failed
