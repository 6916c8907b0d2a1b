#!/bin/sh
# The linker launcher of the Windows files that ship (cmake/ShippedFiles.cmake): runs the link,
# then keeps the file's debug information and symbols in <file>.debug beside it, strips the file
# and leaves in it a .gnu_debuglink naming that file, where gdb finds it.
#   split-debug.sh <objcopy> <strip> <link command...>
set -eu
objcopy=$1 strip=$2
shift 2
"$@"
out= prev=
for arg in "$@"; do
  [ "$prev" = -o ] && out=$arg
  prev=$arg
done
[ -n "$out" ] || { echo "split-debug: the link command names no output (-o)" >&2; exit 1; }
"$objcopy" --only-keep-debug "$out" "$out.debug"
"$strip" --strip-all "$out"
"$objcopy" --add-gnu-debuglink="$out.debug" "$out"
