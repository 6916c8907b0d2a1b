#!/usr/bin/env bash
# Where the size of each shipped file comes from, in a build tree that is already built (this
# script builds nothing): for each file its size on disk and stripped, its sections, the share of
# each library and of each object file (from the linker's map, which the build writes beside the
# file as <file>.map), and its largest symbols (nm --size-sort, from the file or, once it is
# stripped, from its separate debug file <file>.debug).
#   scripts/size-table.sh [--summary] [--top N] <build tree>...
#   scripts/size-table.sh build/windows build/default
# The Windows trees (Tarabo.exe beside TaraboScale.dll and tarabo-scales.exe) are read with the
# MinGW-w64 binutils, the Linux ones (tarabo, tarabo-scales) with the system's. --summary prints
# only one Markdown table of all the files, the one in the README's Performance section.
set -eu
export LC_ALL=C
summary=false top=15
while [ $# -gt 0 ]; do
  case "$1" in
    --summary) summary=true; shift ;;
    --top) top=${2:?--top needs a number}; shift 2 ;;
    -*) echo "size-table: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: scripts/size-table.sh [--summary] [--top N] <build tree>..." >&2; exit 2; }

# Hexadecimal to a number, in any awk (mawk has no strtonum).
hexfn='function hex(s,   i, v) { s = tolower(s); sub(/^0x/, "", s); v = 0; for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return v }'

kib() { awk -v b="$1" 'BEGIN { printf "%.0f", b / 1024 }'; }

# The first Windows file in a tree, if it is a Windows tree.
windows_file() {
  local f
  for f in Tarabo.exe TaraboScale.dll tarabo-scales.exe; do
    [ -f "$1/$f" ] && { echo "$1/$f"; return; }
  done
  return 0
}

# The binutils prefix for a tree's files.
tools_for() {
  local w
  w=$(windows_file "$1")
  if [ -z "$w" ]; then
    echo ""
  elif i686-w64-mingw32-objdump -f "$w" 2>/dev/null | grep -q 'file format pei-i386'; then
    echo i686-w64-mingw32-
  else
    echo x86_64-w64-mingw32-
  fi
}

# The files that ship from a tree, one a line.
shipped_files() {
  local tree=$1 f
  if [ -n "$(windows_file "$tree")" ]; then
    for f in Tarabo.exe TaraboScale.dll tarabo-scales.exe; do [ -f "$tree/$f" ] && echo "$tree/$f"; done
  else
    for f in "$tree/tarabo" "$tree/scales-tool/tarabo-scales" "$tree/tarabo-scales"; do [ -f "$f" ] && echo "$f"; done
  fi
  return 0
}

# The size the file has stripped: its own size when it is, else that of a stripped copy.
stripped_size() {
  local copy
  copy=$(mktemp)
  ${tools}strip --strip-all -o "$copy" "$1" 2>/dev/null || cp "$1" "$copy"
  stat -c %s "$copy"
  rm -f "$copy"
}

# Section sizes, "name bytes" a line, from objdump -h.
sections() {
  ${tools}objdump -h "$1" | awk "$hexfn"'
    $1 ~ /^[0-9]+$/ && NF >= 7 { printf "%s %d\n", $2, hex($3) }'
}

# Bytes by kind: code, read-only data and unwind tables, writable data, debug, other.
section_kinds() {
  sections "$1" | awk '
    { n = $1; s = $2 }
    n ~ /^\.(text|init|fini|plt)/ { code += s; next }
    n ~ /^\.debug|^\.zdebug|^\.gnu_debuglink|^\.stab/ { debug += s; next }
    n ~ /^\.(rdata|rodata|eh_frame|gcc_except_table|pdata|xdata|edata|idata|rsrc|reloc|data\.rel\.ro|init_array|fini_array|ctors|dtors|CRT|tls|dynsym|dynstr|rela?\.|gnu\.|hash|interp|note|dynamic|got)/ { ro += s; next }
    n ~ /^\.(data|bss|tbss|tdata)/ { rw += s; next }
    { other += s }
    END { printf "%d %d %d %d %d\n", code, ro, rw, debug, other }'
}

# From a GNU ld map: the bytes each input file puts in the output sections that are loaded
# (debug sections and .bss left out), "bytes<TAB>library<TAB>object<TAB>why" a line. The library is
# an archive's name, a CMake target's for the objects CMake links loose, else the object's own. For
# an archive member, why is what pulled it in: the chain of members back to the first file that is
# not one (Tarabo's own, as a rule) and the symbol that file asked for.
map_contributions() {
  awk "$hexfn"'
    function short(file,   lib, obj) {
      if (file ~ /^\(linker/) return file
      if (match(file, /\(([^()]*)\)$/)) {
        lib = substr(file, 1, RSTART - 1); obj = substr(file, RSTART + 1, RLENGTH - 2)
        sub(/.*\//, "", lib); return lib "(" obj ")"
      }
      if (match(file, /[^\/]*\.dir\//)) return substr(file, RSTART, RLENGTH - 5) "(" substr(file, RSTART + RLENGTH) ")"
      sub(/.*\//, "", file); return file
    }
    # "Archive member included to satisfy reference by file (symbol)": a member, then (on the same
    # line or the next) the file that asked and the symbol.
    /^Archive member included/ { inarch = 1; next }
    /^(Discarded input sections|Memory Configuration|Allocating common symbols)/ { inarch = 0 }
    inarch && /^[^ \t]/ { member = $1; rest = $0; sub(/^[^ \t]+[ \t]*/, "", rest); if (rest == "") next }
    inarch && /^[ \t]+[^ \t]/ && member != "" { rest = $0; sub(/^[ \t]+/, "", rest) }
    inarch && rest != "" {
      by = rest; sym = ""
      if (match(rest, / \(.*\)$/)) { by = substr(rest, 1, RSTART - 1); sym = substr(rest, RSTART + 2, RLENGTH - 3) }
      m = short(member); asker[m] = short(by); asked[m] = sym; member = ""; rest = ""; next
    }
    /^Linker script and memory map/ { inmap = 1; next }
    !inmap { next }
    /^[^ \t]/ { split($0, w, /[ \t]+/); out = w[1]; pending = ""; next }
    function add(size, file,   key) {
      if (out ~ /^\.(debug|zdebug|stab|comment|gnu_debuglink|bss|tbss)/ || out ~ /^\/[0-9]/) return
      if (size == 0 || file == "" || file ~ /^(BYTE|SHORT|LONG|QUAD|SQUAD|FILL) /) return
      if (file == "dll stuff") file = "(linker: base relocations)"
      # What ld makes for dynamic linking it files under the first input, the start-up object.
      if (out ~ /^\.(interp|gnu\.hash|hash|dynsym|dynstr|gnu\.version|rela?\.|dynamic|got|plt|eh_frame_hdr)/) file = "(linker: dynamic linking tables)"
      bytes[short(file)] += size
    }
    # An input section: " name 0xaddr 0xsize file", or its name alone and the rest on the next line.
    /^ [^ *]/ {
      n = split($0, w, /[ \t]+/)
      if (n >= 5 && w[3] ~ /^0x/ && w[4] ~ /^0x/) { f = w[5]; for (i = 6; i <= n; i++) f = f " " w[i]; add(hex(w[4]), f) }
      else if (n == 2) pending = w[2]
      next
    }
    pending != "" && /^[ \t]+0x[0-9a-f]+[ \t]+0x[0-9a-f]+[ \t]+[^ \t]/ {
      n = split($0, w, /[ \t]+/); f = w[4]; for (i = 5; i <= n; i++) f = f " " w[i]
      add(hex(w[3]), f); pending = ""; next
    }
    { pending = "" }
    END {
      for (k in bytes) {
        lib = k; obj = k
        if (k !~ /^\(linker/ && match(k, /\([^()]*\)$/)) { lib = substr(k, 1, RSTART - 1); obj = substr(k, RSTART + 1, RLENGTH - 2) }
        why = ""
        if (k in asker) {
          chain = ""; c = k
          for (hops = 0; (c in asker) && hops < 12; hops++) {
            nxt = asker[c]
            # Up to the first file that is not a member of a library from outside, one of Tarabo.
            if (!(nxt in asker) || nxt ~ /^libtarabo/ || nxt !~ /\.a\(/) { why = nxt " (" asked[c] ")"; break }
            chain = chain (chain == "" ? "" : " ← ") nxt
            c = nxt
          }
          if (why == "") why = asker[k] " (" asked[k] ")"
          else if (chain != "") why = chain " ← " why
        }
        printf "%d\t%s\t%s\t%s\n", bytes[k], lib, obj, why
      }
    }' "$1"
}

# The file to read symbols from: its separate debug file once it is stripped.
symbol_file() {
  if [ -f "$1.debug" ]; then echo "$1.debug"; else echo "$1"; fi
}

report_file() {
  local f=$1 size stripped kinds code ro rw debug other map
  size=$(stat -c %s "$f")
  stripped=$(stripped_size "$f")
  read -r code ro rw debug other <<<"$(section_kinds "$f")"
  echo "### $f"
  echo
  echo "$(kib "$size") KiB on disk, $(kib "$stripped") KiB stripped: code $(kib "$code") KiB, read-only data" \
    "and tables $(kib "$ro") KiB, data $(kib "$rw") KiB, debug $(kib "$debug") KiB, other $(kib "$other") KiB."
  echo
  echo "| section | KiB |"
  echo "|---|---|"
  sections "$f" | sort -k2,2nr | head -n "$top" | awk '{ printf "| %s | %.1f |\n", $1, $2 / 1024 }'
  echo
  map=$f.map
  if [ -f "$map" ]; then
    map_contributions "$map" >"$work/contrib"
    echo "Code and data by library (from $(basename "$map"); debug sections left out):"
    echo
    echo "| library | KiB | share |"
    echo "|---|---|---|"
    awk -F'\t' '{ b[$2] += $1; t += $1 } END { for (l in b) printf "%d\t%s\t%.1f\n", b[l], l, 100 * b[l] / t }' "$work/contrib" |
      sort -k1,1nr | head -n "$top" | awk -F'\t' '{ printf "| %s | %.1f | %s %% |\n", $2, $1 / 1024, $3 }'
    echo
    echo "The largest object files:"
    echo
    echo "| library | object | KiB | pulled in by (what asked, and for which symbol) |"
    echo "|---|---|---|---|"
    sort -k1,1nr "$work/contrib" | head -n "$top" |
      awk -F'\t' '{ w = $4; gsub(/\|/, "\\|", w); printf "| %s | %s | %.1f | %s |\n", $2, $3, $1 / 1024, w }'
    echo
  else
    echo "(no $(basename "$map"): the library table needs the linker's map)"
    echo
  fi
  echo "The largest symbols ($(basename "$(symbol_file "$f")")):"
  echo
  echo "| symbol | KiB |"
  echo "|---|---|"
  ${tools}nm --size-sort -r -C -S "$(symbol_file "$f")" 2>/dev/null | awk '$4 !~ /^\./' | head -n "$top" |
    awk "$hexfn"'{ s = hex($2); $1 = $2 = $3 = ""; sub(/^ +/, ""); if (length($0) > 90) $0 = substr($0, 1, 87) "..."; gsub(/\|/, "\\|"); printf "| `%s` | %.1f |\n", $0, s / 1024 }'
  echo
}

# One row per file: sizes, and the shares of the C++ runtime, the rest of the runtime with the
# system's import stubs and what the linker adds, and Tarabo's own code.
summary_row() {
  local f=$1 size stripped code ro rw debug other shares="– | – | –"
  size=$(stat -c %s "$f")
  stripped=$(stripped_size "$f")
  read -r code ro rw debug other <<<"$(section_kinds "$f")"
  if [ -f "$f.map" ]; then
    shares=$(map_contributions "$f.map" | awk -F'\t' '
      $2 ~ /^lib(stdc|supc)\+\+/ { cxx += $1; next }
      $2 ~ /^libtarabo/ || ($2 !~ /\.(a|o|obj)$/ && $2 !~ /^\(linker/) { own += $1; next }
      { c += $1 }
      END { printf "%s | %.0f KiB | %.0f KiB", cxx ? sprintf("%.0f KiB", cxx / 1024) : "shared", c / 1024, own / 1024 }')
  fi
  printf '| %s | %s KiB | %s KiB | %s KiB | %s KiB | %s KiB | %s |\n' "$f" "$(kib "$size")" "$(kib "$stripped")" \
    "$(kib "$code")" "$(kib "$((ro + rw))")" "$(kib "$debug")" "$shares"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if $summary; then
  echo "| file | on disk | stripped | code | data and tables | debug | C++ runtime | C runtime, imports, linker | Tarabo's own |"
  echo "|---|---|---|---|---|---|---|---|---|"
fi
status=0
for tree in "$@"; do
  tools=$(tools_for "$tree")
  files=$(shipped_files "$tree")
  if [ -z "$files" ]; then
    echo "size-table: no shipped file in $tree (build it first)" >&2
    status=1
    continue
  fi
  mapfile -t list <<<"$files"
  for f in "${list[@]}"; do
    if $summary; then summary_row "$f"; else report_file "$f"; fi
  done
done
exit $status
