#!/usr/bin/env bash
# Runs a Windows program in the project's own Wine prefix (never ~/.wine).
#
#   ORV_BUILD   build folder that holds the prefixes (default: ../build)
#   ORV_LANG    LANG/LC_ALL for the program (default zh_CN.UTF-8)
#   ORV_WINVER  Windows version the prefix reports: win10 (default) or win7
#   ORV_DPI     LogPixels of the prefix: 96 (default), 120, 144, ...
#   ORV_WINARCH win64 (default: 64-bit Windows; 32-bit programs run there under WoW64)
#               or win32 (32-bit Windows, for 32-bit programs only)
#   ORV_DLLOVERRIDES  extra WINEDLLOVERRIDES entries (e.g. "gdiplus,version=n,b")
#   ORV_SEAT    b: a second set of prefixes (their names end in -b) on a display of
#               their own, ORV_DISPLAY_B; empty (default): the first set
#   ORV_SCREEN  which display the test's registration runs on: win64, win32 or wow64 (the
#               32-bit build's prefixes of 64-bit Windows)
#   ORV_DISPLAY_W32, ORV_DISPLAY_WOW64  the X displays of those screens, when they have
#               displays of their own
#
# The test command gives 32-bit Windows, the 32-bit build's 64-bit Windows and the
# second seat displays of their own, so that GUI tests on different displays use their
# pointers at the same time.
#
# Each (version, DPI) pair gets a prefix of its own, copied from a base prefix, so
# that tests with different settings can run side by side without restarting a
# shared wineserver.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${ORV_BUILD:-$here/../build}
build=$(cd "$build" && pwd)
winver=${ORV_WINVER:-win10}
dpi=${ORV_DPI:-96}

winarch=${ORV_WINARCH:-win64}
seat=${ORV_SEAT:-}
# A prefix's windows all live on one display.
if [ "$winarch" = win32 ] && [ -n "${ORV_DISPLAY_W32:-}" ]; then export DISPLAY=$ORV_DISPLAY_W32; fi
if [ "${ORV_SCREEN:-}" = wow64 ] && [ -n "${ORV_DISPLAY_WOW64:-}" ]; then export DISPLAY=$ORV_DISPLAY_WOW64; fi
if [ "$seat" = b ] && [ -n "${ORV_DISPLAY_B:-}" ]; then export DISPLAY=$ORV_DISPLAY_B; fi

prefix=$("$here/wine-prefix.sh" "$build" "$winver" "$dpi" "$winarch" "$seat")

export WINEPREFIX=$prefix WINEARCH=$winarch WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${ORV_DLLOVERRIDES:+;$ORV_DLLOVERRIDES}"
export LANG=${ORV_LANG:-zh_CN.UTF-8} LC_ALL=${ORV_LANG:-zh_CN.UTF-8}
# The loader of the prefix's own architecture; in a 64-bit prefix it hands a 32-bit
# program on to the 32-bit loader itself.
if [ "$winarch" = win32 ]; then
  export WINELOADER=/usr/lib/wine/wine
else
  export WINELOADER=/usr/lib/wine/wine64
fi
[ -n "${ORV_REAP_LEFTOVERS:-}" ] || exec "$WINELOADER" "$@"

# Under the test command: whatever the program left running below it is ended once it
# has ended. Wine's conhost.exe never ends when the one process on its console is killed
# while attaching to it (and a timeout.exe writing to that console then waits for ever);
# both keep the test's output open, and ctest would wait for them until the time-out.
# Wine's own services, started by whichever program came first, are left alone.
export ORV_RUN_ID=$$.$RANDOM

# Wine's system processes (services, the desktop's explorer.exe, ...) inherit the
# standard output and error of the program that starts them, and ctest waits for them:
# that test would seem to run until the prefix or its desktop had been idle for a
# while, or into its time-out. So under the test command each prefix's wineserver
# stays up (the test command ends it), and a helper of no output starts its system
# processes and keeps its desktop in use, so that explorer.exe never has to start anew.
holder=$build/bin/deskhold.exe
prefix_runs() {  # prefix_runs REGEX: a process of this prefix whose command line matches
  local pid
  for pid in $(pgrep -f "$1" || true); do
    tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && return 0
  done
  return 1
}
(
  flock 8
  if [ -f "$holder" ] && ! prefix_runs 'deskhold\.exe'; then
    # (Nothing started here may inherit the lock.)
    /usr/lib/wine/wineserver64 -p </dev/null >/dev/null 2>&1 8>&- || true
    # Not one of this run's leftovers: the test command ends it with the wineserver.
    ORV_RUN_ID= setsid "$WINELOADER" "$holder" </dev/null >/dev/null 2>&1 8>&- &
    for _ in $(seq 1 200); do
      prefix_runs 'explorer\.exe' && break
      sleep 0.05
    done
  fi
) 8>"$prefix/.orv-warm.lock"
status=0
"$WINELOADER" "$@" || status=$?
for environ in /proc/[0-9]*/environ; do
  pid=${environ#/proc/}
  pid=${pid%/environ}
  { tr '\0' '\n' < "$environ"; } 2>/dev/null | grep -xF "ORV_RUN_ID=$ORV_RUN_ID" >/dev/null || continue
  cmd=$({ tr '\0' ' ' < "/proc/$pid/cmdline"; } 2>/dev/null || true)
  case "$cmd" in
    *wineserver*|*services.exe*|*explorer.exe*|*winedevice.exe*|*plugplay.exe*|*svchost.exe*|*rpcss.exe*|"") continue ;;
  esac
  [ "$pid" = "$$" ] && continue
  echo "wine-run: ended a process left running: $cmd" >&2
  kill -9 "$pid" 2>/dev/null || true
done
# Wine's own messages are off (WINEDEBUG): a program that could not start or crashed
# before its first line would otherwise fail without a word.
[ "$status" = 0 ] || echo "wine-run: ${1##*/} ended with status $status" >&2
exit $status
