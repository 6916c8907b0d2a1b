#!/usr/bin/env bash
# The fake scales on the Wine prefix's COM9 to COM12, for the tests that read them (a CTest
# fixture): fake-com-scales, a Linux program, runs from `start` until `stop`.
#   ComScales.sh start PREFIX FAKE STATE-DIR
#   ComScales.sh stop STATE-DIR
set -u
case ${1:-} in
start)
  prefix=$2 fake=$3 state=$4
  mkdir -p "$state"
  [ -f "$state/pid" ] && kill "$(cat "$state/pid")" 2>/dev/null
  # Its own session and no stream of ours, so that CTest does not wait for it.
  setsid "$fake" "$prefix/dosdevices" >"$state/log" 2>&1 </dev/null &
  echo $! >"$state/pid"
  for _ in $(seq 100); do grep -q ready "$state/log" && exit 0; sleep 0.1; done
  echo "the fake scales did not start:"; cat "$state/log"
  exit 1
  ;;
stop)
  state=$2
  [ -f "$state/pid" ] || exit 0
  pid=$(cat "$state/pid")
  kill "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  rm -f "$state/pid"
  ;;
*)
  echo "usage: ComScales.sh start PREFIX FAKE STATE-DIR | stop STATE-DIR" >&2
  exit 2
  ;;
esac
