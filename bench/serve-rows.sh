# The rows of tarabo-scales serve's benchmark (bench_serve), sourced by run-benchmarks.sh.
below() { awk -v v="$1" -v g="$2" 'BEGIN { print (v != "" && v + 0 < g + 0 ? 1 : 0) }'; }
sh=$(get serve serve_read_http_us); stl=$(get serve serve_read_tool_us)
extra=$(awk -v h="$sh" -v t="$stl" 'BEGIN { if (h == "" || t == "") print ""; else printf "%.1f", h - t }')
serve=$(cat <<TABLE
| serve: a weight over HTTP (GET /scales/NAME/weight, a new connection each) against tarabo-scales read's path in process, on the same Toledo fake on a pty, median of $(get serve serve_reads) | $sh µs | $stl µs | +${extra:-n/a} µs | < +1000 µs | $(verdict "$(below "$extra" 1000)") |
| serve: the live stream, from the fake's answer written to the pty to its "received" event read by the client, median of $(get serve serve_live_events) (worst $(get serve serve_live_delay_max_us) µs) | $(get serve serve_live_delay_us) µs | – | – | < 5000 µs | $(verdict "$(below "$(get serve serve_live_delay_us)" 5000)") |
| serve idle $(get serve serve_idle_seconds) s with eight configured scales: CPU | $(get serve serve_idle_cpu_percent) % of a core | – | – | < 0.5 % | $(verdict "$(below "$(get serve serve_idle_cpu_percent)" 0.5)") |
| serve idle: its own resident memory (RssAnon); all resident pages, the shared libraries' included, in brackets | $(mib "$(get serve serve_idle_anon_kib)") ($(mib "$(get serve serve_idle_rss_kib)")) | – | – | < 10 MiB | $(verdict "$(below "$(get serve serve_idle_anon_kib)" 10240)") |
| serve under 200 clients each polling a weight once a second for 10 s: answered / refused (503) / failed of $(get serve serve_load_requests); median and 99th percentile answer | $(get serve serve_load_ok) / $(get serve serve_load_refused) / $(get serve serve_load_failed); $(get serve serve_load_median_us) µs, $(get serve serve_load_p99_us) µs | – | – | none failed | $(verdict "$( [ "$(get serve serve_load_failed)" = 0 ] && echo 1)") |
| serve under the same 200 clients: CPU and peak resident memory | $(get serve serve_load_cpu_percent) % of a core, $(mib "$(get serve serve_load_peak_rss_kib)") | – | – | bounded | – |
TABLE
)
