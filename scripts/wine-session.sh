# A Wine session for running the build's Windows programs on a virtual display. Sourced:
#   . scripts/wine-session.sh
#   trap wine_session_end EXIT
#   wine_session_start LOADER WINESERVER PREFIX KEEP_DESKTOP.exe [TEMPLATE]
# Exports WINEPREFIX, WINESERVER, WINEDEBUG, WINEDLLOVERRIDES and, when it starts one, DISPLAY.

wine_session_xvfb= wine_session_server=

# A fresh prefix, so that nothing a previous run registered or left behind leaks in. One server for
# the whole session, and Wine's own background programs (services, devices) started under it at
# set-up, all detached from our streams: otherwise each program waits for the server to linger,
# and the background programs keep the caller's pipes open. With TEMPLATE, the prefix as wineboot
# made it is kept there and copied on the next start, as long as Wine and this script are the same:
# where wineboot is slow (emulated), that is most of the set-up.
wine_session_start() {
  local loader=$1 keep_desktop=$4 template=${5:-}
  export WINESERVER=$2 WINEPREFIX=$3 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wine_session_server=$WINESERVER

  # A virtual display when there is none, for as long as the session lasts.
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 130); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break; done
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    wine_session_xvfb=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi

  "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  local stamp=
  [ -z "$template" ] ||
    stamp="$("$loader" --version) $(cksum <"${BASH_SOURCE[0]}") $(ls -lL --time-style=+%s "$loader" "$WINESERVER")"
  if [ -n "$template" ] && [ -d "$template" ] && [ "$(cat "$template.stamp" 2>/dev/null)" = "$stamp" ]; then
    cp -a --reflink=auto "$template" "$WINEPREFIX"
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
  else
    # Debian's Wine does not find its own fonts ("MS Sans Serif" among them) unless they are in the
    # prefix; there before the prefix starts, they are indexed once while it is made.
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$loader" wineboot -i </dev/null >/dev/null 2>&1
    # Without a window manager, managed and decorated windows make every destroyed window wait.
    local value
    for value in Managed Decorated; do
      "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v $value /d N /f </dev/null >/dev/null 2>&1
    done
    if [ -n "$template" ]; then
      # The server writes the registry out as it stops; it starts again for the session.
      "$WINESERVER" -k 2>/dev/null || true
      "$WINESERVER" -w 2>/dev/null || true
      rm -rf "$template" "$template.stamp"
      cp -a --reflink=auto "$WINEPREFIX" "$template" && echo "$stamp" >"$template.stamp"
      "$WINESERVER" -p </dev/null >/dev/null 2>&1
    fi
  fi
  # The desktop, opened once with our streams detached and kept open until the session ends.
  exec 7> >(exec "$loader" "$keep_desktop" >/dev/null 2>&1)
}

# Closes the desktop, stops the server and the virtual display.
wine_session_end() {
  exec 7>&-
  [ -z "$wine_session_server" ] || "$wine_session_server" -k 2>/dev/null || true
  [ -z "$wine_session_xvfb" ] || { kill "$wine_session_xvfb"; wait "$wine_session_xvfb"; } 2>/dev/null || true
}
