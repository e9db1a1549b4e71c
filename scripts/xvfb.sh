#!/usr/bin/env bash
# Sourced: starts private Xvfb displays on free display numbers; the caller stops them
# all with orv_xvfb_stop (tests never use the user's own display).
#
#   orv_xvfb_start [VAR]   starts one and exports its name in VAR (default DISPLAY)
ORV_XVFB_PIDS=()
orv_xvfb_start() {
  local var=${1:-DISPLAY} n pid
  for n in $(seq 91 140); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
      [ -e /tmp/.X11-unix/X$n ] && break
      sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null && [ -e /tmp/.X11-unix/X$n ]; then
      ORV_XVFB_PIDS+=("$pid")
      export "$var=:$n"
      return 0
    fi
  done
  echo "xvfb: no free display" >&2
  return 1
}
orv_xvfb_stop() {
  local pid
  for pid in ${ORV_XVFB_PIDS[@]+"${ORV_XVFB_PIDS[@]}"}; do kill "$pid" 2>/dev/null; done
  ORV_XVFB_PIDS=()
}
