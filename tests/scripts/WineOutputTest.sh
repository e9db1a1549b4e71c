#!/usr/bin/env bash
# Under the test command, no process of Wine's own (the system processes, the desktop's
# explorer.exe, the helper that keeps the desktop in use) may hold a test's standard
# output or error: ctest waits until every writer has closed them.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${ORV_BUILD:?ORV_BUILD must name the build folder}
export ORV_REAP_LEFTOVERS=1
# Any program run the test command's way prepares its prefix first.
"$root/scripts/wine-run.sh" cmd.exe /c exit
prefix=$("$root/scripts/wine-prefix.sh" "$build" win10 96)

seen=0
status=0
for pid in $(pgrep -f 'system32\\(services|explorer|winedevice|plugplay|svchost|rpcss)\.exe|deskhold\.exe' || true); do
  tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" || continue
  seen=$((seen + 1))
  for fd in 1 2; do
    target=$(readlink "/proc/$pid/fd/$fd" 2>/dev/null || true)
    case "$target" in
      /dev/null|"") ;;
      *) echo "$(tr '\0' ' ' < "/proc/$pid/cmdline") holds $target as its fd $fd"; status=1 ;;
    esac
  done
done
# The helper, services.exe and explorer.exe at least.
if [ "$seen" -lt 3 ]; then
  echo "only $seen of the prefix's own processes are running"
  status=1
fi
exit $status
