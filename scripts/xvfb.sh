#!/usr/bin/env bash
# Sourced: starts a private Xvfb on a free display and exports DISPLAY; the caller
# stops it with orv_xvfb_stop (tests never use the user's own display).
orv_xvfb_start() {
  local n
  for n in $(seq 91 140); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    ORV_XVFB_PID=$!
    for _ in $(seq 1 100); do
      [ -e /tmp/.X11-unix/X$n ] && break
      sleep 0.05
    done
    if kill -0 "$ORV_XVFB_PID" 2>/dev/null && [ -e /tmp/.X11-unix/X$n ]; then
      export DISPLAY=:$n
      return 0
    fi
  done
  echo "xvfb: no free display" >&2
  return 1
}
orv_xvfb_stop() {
  [ -n "${ORV_XVFB_PID:-}" ] && kill "$ORV_XVFB_PID" 2>/dev/null
  ORV_XVFB_PID=
}
