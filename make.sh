#!/usr/bin/env bash
# The entry point of every README command on a fresh Debian 12: installs make when it is missing
# (with the rest of the build set-up), then runs make with the given targets.
#   ./make.sh run | ./make.sh test | ./make.sh <any target of the Makefile>
set -euo pipefail
cd "$(dirname "$0")"
command -v make >/dev/null || scripts/install-deps.sh
exec make "$@"
