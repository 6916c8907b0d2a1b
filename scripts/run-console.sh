#!/usr/bin/env bash
# Starts the console on the desktop's display; without one, says how to run it and fails.
set -euo pipefail
binary="$1"; shift
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'MSG'
Tarabo needs a display and none was found (DISPLAY and WAYLAND_DISPLAY are unset).
Run it in one of these ways:
  - from a terminal inside a desktop session:   ./make.sh run
  - on a virtual X display:                     xvfb-run -a build/default/tarabo
  - over VNC:  QT_QPA_PLATFORM=vnc build/default/tarabo   then connect a VNC viewer to port 5900
MSG
  exit 2
fi
exec "$binary" "$@"
