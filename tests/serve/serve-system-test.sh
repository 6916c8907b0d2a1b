#!/usr/bin/env bash
# tarabo-scales serve as a program, with what a store and a chain run against it:
#   serve-system-test.sh TARABO_SCALES SOURCE_DIR browser     the live page in headless Chromium
#   serve-system-test.sh TARABO_SCALES SOURCE_DIR prometheus  promtool's checks and a real scrape
# Each step is bounded; everything started is stopped by its process id on the way out.
set -euo pipefail
tool=$1 source=$2 mode=$3
work=$(mktemp -d /tmp/tarabo-serve-system.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "serve-system-test ($mode): $*" >&2; exit 1; }

# Names of this run alone: the claims are the machine's.
name=Page$$
mkdir -p "$work/config/tarabo"
printf '[%s]\ndriver = simulated\n[Spare%s]\ndriver = simulated\n' "$name" "$$" > "$work/config/tarabo/scales.conf"
XDG_CONFIG_HOME=$work/config "$tool" serve --listen 127.0.0.1:0 > "$work/serve.out" 2> "$work/serve.err" &
pids+=($!)
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/.* on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/serve.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "serve did not start: $(cat "$work/serve.err")"
base=http://127.0.0.1:$port

if [ "$mode" = browser ]; then
  # The page reads every configured scale through serve, as a phone's browser would.
  timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/chromium" --virtual-time-budget=8000 --dump-dom "$base/" > "$work/dom.html" 2> "$work/chromium.err" ||
    fail "chromium failed: $(tail -5 "$work/chromium.err")"
  for fragment in "data-name=\"$name\"" "data-name=\"Spare$$\"" '<div class="weight">1.250 Kg</div>' \
                  '<div class="status">stable: Tarabo simulated K350 retail scale (no hardware)</div>'; do
    grep -qF "$fragment" "$work/dom.html" || fail "the page lacks $fragment; it shows: $(cat "$work/dom.html")"
  done
  grep -q 'id="error"></div>' "$work/dom.html" || fail "the page shows an error: $(cat "$work/dom.html")"
  exit 0
fi

[ "$mode" = prometheus ] || fail "unknown mode"
curl -fsS --max-time 10 "$base/scales/$name/weight" > /dev/null
curl -fsS --max-time 10 "$base/metrics" > "$work/metrics.txt"
promtool check metrics < "$work/metrics.txt" || fail "promtool check metrics: $(cat "$work/metrics.txt")"
promtool check rules "$source/packaging/tarabo-scales-alerts.yml" > /dev/null || fail "promtool check rules"

# A Prometheus of its own on a free loopback port, scraping serve every second. The port is
# picked below the kernel's range for outgoing connections, and another is tried should something
# take it between the check and Prometheus binding it.
cat > "$work/prometheus.yml" <<YAML
global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: tarabo-scales
    static_configs:
      - targets: ["127.0.0.1:$port"]
YAML
promport=""
for attempt in 1 2 3 4 5; do
  candidate=$((20000 + RANDOM % 12000))
  (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null && continue
  prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/data$attempt" \
    --web.listen-address="127.0.0.1:$candidate" --log.level=warn > "$work/prometheus.log" 2>&1 &
  pid=$!
  for _ in $(seq 50); do
    curl -fsS --max-time 1 "http://127.0.0.1:$candidate/-/ready" > /dev/null 2>&1 && { promport=$candidate; break; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -n "$promport" ]; then pids+=("$pid"); break; fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
[ -n "$promport" ] || fail "Prometheus did not start: $(tail -5 "$work/prometheus.log")"
query="tarabo_scale_reads_total{name=\"$name\",result=\"OPOS_SUCCESS\"}"
for _ in $(seq 60); do
  answer=$(curl -fsS --max-time 2 -G "http://127.0.0.1:$promport/api/v1/query" --data-urlencode "query=$query" 2>/dev/null || true)
  if grep -q "\"driver\":\"simulated\"" <<< "$answer" && grep -q "\"value\":\[[0-9.]*,\"1\"\]" <<< "$answer"; then
    up=$(curl -fsS --max-time 2 -G "http://127.0.0.1:$promport/api/v1/query" --data-urlencode "query=up{job=\"tarabo-scales\"}")
    grep -q "\"value\":\[[0-9.]*,\"1\"\]" <<< "$up" || fail "the scrape target is not up: $up"
    exit 0
  fi
  sleep 0.5
done
fail "Prometheus did not get $query within 30 s: ${answer:-no answer}; $(tail -5 "$work/prometheus.log")"
