#!/usr/bin/env bash
# Lines of C++ in tests/ against the rest of the tree (the code), counting only lines with
# something besides blanks and comments, with the test lines of each folder under tests/.
# Usage: scripts/count-test-share.sh [commit] (default: the working tree).
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -gt 0 ]]; then
    files() { git ls-tree -r --name-only "$1"; }
    show() { git show "$1:$2"; }
    rev=$1
else
    files() { git ls-files --cached --others --exclude-standard; }
    show() { cat "$2"; }
    rev=
fi

# Non-blank, non-comment lines of one file on standard input.
count() {
    awk '
        {
            line = $0; code = ""
            while (line != "") {
                if (inBlock) {
                    end = index(line, "*/")
                    if (end == 0) { line = ""; break }
                    inBlock = 0; line = substr(line, end + 2)
                    continue
                }
                lc = index(line, "//"); bc = index(line, "/*")
                if (lc > 0 && (bc == 0 || lc < bc)) { code = code substr(line, 1, lc - 1); line = "" }
                else if (bc > 0) { code = code substr(line, 1, bc - 1); line = substr(line, bc + 2); inBlock = 1 }
                else { code = code line; line = "" }
            }
            if (code ~ /[^ \t\r]/) n++
        }
        END { print n + 0 }'
}

tests=0 code=0
declare -A area
while IFS= read -r f; do
    [[ $f =~ \.(cpp|cc|c|h|hpp)$ ]] || continue
    [[ -n $rev || -f $f ]] || continue
    n=$(show "$rev" "$f" | count)
    if [[ $f == tests/* ]]; then
        tests=$((tests + n))
        a=${f#tests/}; a=${a%%/*}
        area[$a]=$((${area[$a]:-0} + n))
    else
        code=$((code + n))
    fi
done < <(files "$rev")

for a in $(printf '%s\n' "${!area[@]}" | sort); do printf '  tests/%-10s %5d\n' "$a" "${area[$a]}"; done
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests: %d lines, code: %d lines, tests/code: %.1f %%\n", t, c, 100 * t / c }'
