#!/usr/bin/env bash
# Runs the benchmarks of a bench build and prints one Markdown table: Tarabo against the floor (a
# bare Qt dialog of the console's size and items), ratio, goal, pass or fail; then the Windows
# build's rows under Wine (bench/run-windows-benchmarks.sh). Exits 1 when a goal is missed or a
# benchmark fails.
#   bench/run-benchmarks.sh build/bench
set -euo pipefail
# The figures are read back with awk: keep the decimal point whatever the caller's locale.
export LC_NUMERIC=C

build=${1:?usage: bench/run-benchmarks.sh <build dir>}
bin="$build/bench"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0

. "$(dirname "$0")/report.sh"

run startup "$bin/bench_startup" --runs 15 "$bin/bench_startup_console" "$bin/bench_startup_floor"
run read "$bin/bench_read_path"
run soak "$bin/bench_loop_soak" 100000
run hid "$bin/bench_hid_read"
run serial "$bin/bench_serial_read"
run monitor "$bin/bench_monitor"
run serve "$bin/bench_serve" "$build/scales-tool/tarabo-scales"
run faults "$bin/bench_faults"
run probe "$bin/bench_probe"

# Start-up and memory.
st=$(get startup startup_tarabo_ms); sf=$(get startup startup_floor_ms)
mt=$(get startup peak_rss_tarabo_kib); mf=$(get startup peak_rss_floor_kib)
IFS='|' read -r s_ratio s_ok <<<"$(compare "$st" "$sf" 1.2)"
IFS='|' read -r m_ratio m_ok <<<"$(compare "$mt" "$mf" 1.2)"
runs=$(get startup startup_runs)

# The read path: the ratio is of time per read.
rt=$(get read read_tarabo_us); rf=$(get read read_floor_us)
IFS='|' read -r r_ratio r_ok <<<"$(compare "$rt" "$rf" 1.5)"

# The soak.
reads=$(get soak soak_reads); shown=$(get soak soak_results_shown); calls=$(get soak soak_readweight_calls)
growth=$(get soak soak_rss_growth_kib)
objects() { # FIELD: 2 after the first reads, 3 at the end
  local k v=""
  for k in soak_widgets soak_top_levels soak_bstrs soak_reports soak_fds; do
    v="$v$(get soak $k "$1")/"
  done
  echo "${v%/}"
}
cpu=$(get soak soak_cpu_us_per_read)

# ReadWeight on a fake USB HID scale: time per read over the raw report round trip, and the CPU of
# a read that waits its whole time-out.
ht=$(get hid hid_read_tarabo_us); hf=$(get hid hid_read_floor_us)
IFS='|' read -r h_ratio h_ok <<<"$(compare "$ht" "$hf" 2.0)"
hcpu=$(get hid hid_wait_cpu_percent)
hcpu_ok=$(verdict "$(awk -v c="$hcpu" 'BEGIN { print (c != "" && c < 1 ? 1 : 0) }')")

table=$(cat <<TABLE
| figure | Tarabo | floor | ratio | goal | result |
|---|---|---|---|---|---|
| Start-up: process start to the console shown and painted, median of ${runs:-?} runs | ${st:-n/a} ms | ${sf:-n/a} ms | $s_ratio | ≤ 1.20 | $s_ok |
| Peak memory (ru_maxrss) of the same runs, median | $(mib "$mt") | $(mib "$mf") | $m_ratio | ≤ 1.20 | $m_ok |
| Read Weight, click to window repainted, zero-latency scale, median of 5 | $(rate "$rt") | $(rate "$rf") | $r_ratio | ≤ 1.50 | $r_ok |
| Loop soak: resident memory at the end against after the first $(get soak soak_first_at_reads) reads | ${growth:-n/a} KiB ($(mib "$(get soak soak_rss_first_kib)") → $(mib "$(get soak soak_rss_end_kib)")) | – | – | ≤ 1024 KiB | $(verdict "$(get soak soak_memory_pass)") |
| Loop soak: widgets / top-level windows / automation strings / open reports / file descriptors | $(objects 2) → $(objects 3) | – | – | no growth | $(verdict "$(get soak soak_objects_pass)") |
| Loop soak: timer reads with their result shown (weight, result name and hex checked before the next read) | ${shown:-n/a} of ${reads:-n/a} (ReadWeight calls: ${calls:-n/a}, one of them Open's) | – | – | all | $(verdict "$(get soak soak_shown_pass)") |
| ReadWeight on a fake USB HID scale that answers at once (ClearInput, report, ReadWeight through the control) against the raw report round trip (send, poll, read), median of 5 × 20000 | ${ht:-n/a} µs | ${hf:-n/a} µs | $h_ratio | ≤ 2.00 | $h_ok |
| CPU of a ReadWeight waiting its whole $(get hid hid_wait_seconds) s time-out for a HID scale in motion ($(get hid hid_wait_reports) reports, one per 20 ms) | ${hcpu:-n/a} % of a core | – | – | < 1 % | $hcpu_ok |
TABLE
)
echo "$table"
[[ $table == *FAIL* ]] && failed=1

# A serial scale on a pseudo-terminal: the floor is the bare request/answer round trip with the
# same fake scale; the wait is a whole 3 s time-out while the scale reports motion.
IFS='|' read -r sr_ratio sr_ok <<<"$(compare "$(get serial serial_read_tarabo_us)" "$(get serial serial_read_floor_us)" 2.0)"
sc=$(get serial serial_wait_cpu_percent)
IFS='|' read -r st_ratio st_ok <<<"$(compare "$(get serial stream_read_tarabo_us)" "$(get serial stream_read_floor_us)" 2.0)"
stc=$(get serial stream_wait_cpu_percent); sic=$(get serial stream_idle_cpu_percent)
serial=$(cat <<TABLE
| ReadWeight on a serial scale (an MT-SICS fake on a pty that answers at once: ClearInput, ReadWeight through the control) against the raw request/answer round trip (write, poll, read), median of 7 × 1000 | $(get serial serial_read_tarabo_us) µs | $(get serial serial_read_floor_us) µs | $sr_ratio | ≤ 2.00 | $sr_ok |
| CPU of the reading thread while ReadWeight waits $(get serial serial_wait_seconds) s for a serial scale in motion ($(get serial serial_wait_requests) requests) | ${sc:-n/a} % of a core | – | – | < 1 % | $(verdict "$(awk -v c="$sc" 'BEGIN { print (c != "" && c < 1 ? 1 : 0) }')") |
| ReadWeight on a streaming serial scale (Toledo-style continuous output on a pty, 50 frames a second): from a frame's last byte to ReadWeight returning, against a raw reader waiting for the same frame (flush, poll, read), median of 7 × 40 | $(get serial stream_read_tarabo_us) µs | $(get serial stream_read_floor_us) µs | $st_ratio | ≤ 2.00 | $st_ok |
| CPU of the reading thread while ReadWeight waits 3 s for a streaming scale in motion (50 frames a second) | ${stc:-n/a} % of a core | – | – | < 1 % | $(verdict "$(awk -v c="$stc" 'BEGIN { print (c != "" && c < 1 ? 1 : 0) }')") |
| CPU of the whole process (the fake scale's thread included) while a streaming scale sends 10 frames a second to an enabled control that nothing reads, $(get serial stream_idle_seconds) s, $(get serial stream_idle_frames) frames | ${sic:-n/a} % of a core | – | – | < 1 % | $(verdict "$(awk -v c="$sic" 'BEGIN { print (c != "" && c < 1 ? 1 : 0) }')") |
TABLE
)
echo "$serial"
[[ $serial == *FAIL* ]] && failed=1

# tarabo-scales monitor on a fake HID scale: a report to its line on a pipe, against a bare reader
# that writes each report's line; its CPU while nothing comes; a stream of one report a ms kept up
# with. And ReadWeight on a replay of a capture against the pty fake it was recorded from.
IFS='|' read -r ml_ratio ml_ok <<<"$(compare "$(get monitor monitor_line_tarabo_us)" "$(get monitor monitor_line_floor_us)" 3.0)"
IFS='|' read -r rp_ratio rp_ok <<<"$(compare "$(get monitor replay_read_tarabo_us)" "$(get monitor replay_read_fake_us)" 1.5)"
mc=$(get monitor monitor_idle_cpu_percent)
monitor=$(cat <<TABLE
| tarabo-scales monitor: a HID report sent to its line (and its reading's) read from monitor's pipe, against a bare reader writing each report's line, median of 2000 | $(get monitor monitor_line_tarabo_us) µs | $(get monitor monitor_line_floor_us) µs | $ml_ratio | ≤ 3.00 | $ml_ok |
| CPU of monitor while nothing arrives for $(get monitor monitor_idle_seconds) s | ${mc:-n/a} % of a core | – | – | < 0.1 % | $(verdict "$(awk -v c="$mc" 'BEGIN { print (c != "" && c < 0.1 ? 1 : 0) }')") |
| Reports monitor showed of a stream of one a millisecond | $(get monitor monitor_stream_shown) of $(get monitor monitor_stream_reports) | – | – | all | $(verdict "$(awk -v s="$(get monitor monitor_stream_shown)" -v r="$(get monitor monitor_stream_reports)" 'BEGIN { print (s != "" && s == r ? 1 : 0) }')") |
| ReadWeight on a replayed MT-SICS capture (driver = replay, loop) against the pty fake it was recorded from (ClearInput, ReadWeight through the control), median of 5 × 500 | $(get monitor replay_read_tarabo_us) µs | $(get monitor replay_read_fake_us) µs | $rp_ratio | ≤ 1.50 | $rp_ok |
TABLE
)
echo "$monitor"
[[ $monitor == *FAIL* ]] && failed=1

# tarabo-scales serve with eight configured scales: a weight over HTTP against tarabo-scales
# read's path on the same pty fake (goal: under 1 ms more), the live stream's delay, idle and
# under 200 clients polling once a second.
. "$(dirname "$0")/serve-rows.sh"
echo "$serve"
[[ $serve == *FAIL* ]] && failed=1
# Serial scales that misbehave: a hang-up and the scale back on a new line, against opening that
# line raw and asking what the control asks; a scale flooding a frame a millisecond at a control that nothing reads.
IFS='|' read -r rc_ratio rc_ok <<<"$(compare "$(get faults reconnect_tarabo_ms)" "$(get faults reconnect_floor_ms)" 3.0)"
fc=$(get faults flood_idle_cpu_percent)
faults=$(cat <<TABLE
| A serial scale's cable pulled (an MT-SICS fake on a pty hangs up): the failed read that says so (OPOS_E_OFFLINE) $(get faults hangup_noticed_ms) ms after; then the scale back on a new line: Close, Open, Claim, enable and the first good ReadWeight through the control, against opening that line raw and its two requests (identity at Open, weight) answered, median of 7 | $(get faults reconnect_tarabo_ms) ms | $(get faults reconnect_floor_ms) ms | $rc_ratio | ≤ 3.00 | $rc_ok |
| CPU of this process while a scale floods a frame a millisecond (written by another process) at an enabled control that nothing reads, $(get faults flood_idle_seconds) s; a read after it gives the weight | ${fc:-n/a} % of a core | – | – | < 1 % | $(verdict "$(awk -v c="$fc" 'BEGIN { print (c != "" && c >= 0 && c < 1 ? 1 : 0) }')") |
TABLE
)
echo "$faults"
[[ $faults == *FAIL* ]] && failed=1
# tarabo-scales probe on pty fakes of every protocol family, each at a speed other than its usual
# one, against a search that knows the protocol; and a port where nothing answers.
pm=$(get probe probe_median_s); pn=$(get probe probe_nothing_s)
pr=$(awk -v t="$pm" -v f="$(get probe floor_median_s)" 'BEGIN { if (t == "" || f == "" || f <= 0) print "n/a"; else printf "%.2f", t / f }')
probe=$(cat <<TABLE
| tarabo-scales probe: a scale found at a speed other than its protocol's usual one (the section printed names its protocol and speed), median over the 9 protocol families on pty fakes, against a search that knows the protocol (its request or a listen at each setting in turn) | ${pm:-n/a} s (slowest $(get probe probe_max_s) s) | $(get probe floor_median_s) s | $pr | ≤ 20 s, every family found | $(verdict "$(awk -v t="$pm" -v a="$(get probe probe_all_found)" 'BEGIN { print (t != "" && t <= 20 && a == 1 ? 1 : 0) }')") |
| tarabo-scales probe: "No scale answered" on a pty where nothing answers (every setting tried) | ${pn:-n/a} s | – | – | ≤ 30 s | $(verdict "$(awk -v t="$pn" -v s="$(get probe probe_nothing_said)" 'BEGIN { print (t != "" && t <= 30 && s == 1 ? 1 : 0) }')") |
TABLE
)
echo "$probe"
[[ $probe == *FAIL* ]] && failed=1
# The Windows build under Wine against its own floor: rows of this table, then its notes.
# TARABO_BENCH_WINDOWS=0 leaves it out.
windows=
if [ "${TARABO_BENCH_WINDOWS:-1}" != 0 ]; then
  echo "bench: the Windows build under Wine..." >&2
  windows=$("$(dirname "$0")/run-windows-benchmarks.sh") || failed=1
  [ -z "$windows" ] || echo "${windows%%$'\n\n'*}"
fi
echo
awk -v cpu="$cpu" -v s="$(get soak soak_seconds)" 'BEGIN {
  if (cpu != "") printf "Loop soak: %.1f µs of CPU per timer read (the event loop included), so Loop at one read a second costs %.4f %% of a core; the soak took %s s.\n", cpu, cpu / 1e4, s }'
awk '/^probe_.*_at / { f = substr($1, 7, length($1) - 9); at[f] = $2; sub("_", " ", at[f]); order[++n] = f }
     /^probe_.*_s / { t[substr($1, 7, length($1) - 8)] = $2 } /^floor_.*_s / { fl[substr($1, 7, length($1) - 8)] = $2 }
     END { for (i = 1; i <= n; ++i) { f = order[i]; line = line sprintf("%s%s at %s %s s (floor %s s)", line == "" ? "" : ", ", f, at[f], t[f], fl[f]) }
           if (line != "") print "Probe, per family: " line "." }' "$out/probe.out"
echo "Window: console $(get read window_tarabo_px), floor $(get read window_floor_px) pixels."
[[ $windows != *$'\n\n'* ]] || echo "${windows#*$'\n\n'}"
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory; $(date -u +%Y-%m-%d)."
exit $failed
