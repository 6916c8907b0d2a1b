# The table's helpers, sourced by the benchmark scripts. They use $out (a folder for the outputs)
# and set failed=1 when a benchmark fails.

# run NAME COMMAND...: "name value" lines into $out/NAME.out, diagnostics into $out/NAME.err.
run() {
  local name=$1
  shift
  echo "bench: $name..." >&2
  if ! "$@" >"$out/$name.out" 2>"$out/$name.err"; then
    failed=1
    echo "bench: $name failed; its last diagnostics:" >&2
    grep -v XDG_RUNTIME_DIR "$out/$name.err" | tail -n 20 >&2 || true
  fi
}

# get NAME KEY [FIELD]: a value from NAME's output; "" when missing.
get() { awk -v k="$2" -v f="${3:-2}" '$1 == k { print $f; exit }' "$out/$1.out"; }

# verdict OK: "pass" or "**FAIL**" (these run in subshells: the table is searched for failures).
verdict() {
  if [ "$1" = 1 ]; then echo pass; else echo "**FAIL**"; fi
}

# compare TARABO FLOOR GOAL: "ratio|verdict", the ratio being Tarabo over floor (lower is better).
compare() {
  if [ -z "$1" ] || [ -z "$2" ]; then echo "n/a|**FAIL**"; return; fi
  local ratio ok
  ratio=$(awk -v t="$1" -v f="$2" 'BEGIN { printf "%.2f", (f > 0 ? t / f : 99) }')
  ok=$(awk -v r="$ratio" -v g="$3" 'BEGIN { print (r <= g ? 1 : 0) }')
  echo "$ratio|$(verdict "$ok")"
}

# mib KIB: "12.3 MiB"; rate US: reads a second and the time of one read.
mib() { awk -v k="$1" 'BEGIN { if (k == "") print "n/a"; else printf "%.1f MiB", k / 1024 }'; }
rate() { awk -v us="$1" 'BEGIN { if (us == "" || us <= 0) print "n/a"; else printf "%d reads/s (%.1f µs)", 1e6 / us + 0.5, us }'; }
