#!/usr/bin/env bash
# Sets everything up (packages, locales, Wine prefixes), builds, and runs every test
# under a private Xvfb. Extra arguments go to ctest (e.g. -L gui, -R repair).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
phase() { echo "== $1 took $(( $(date +%s) - $2 )) s"; }
begun=$(date +%s)
start=$begun
bash scripts/setup.sh
phase set-up "$start"

# The prefixes' wineservers and desktops of an earlier run may still be up on another
# display; windows of one program on two displays make Wine fail with X errors.
bash scripts/stop-wine.sh build
bash scripts/stop-wine.sh build-i686
source scripts/xvfb.sh
orv_xvfb_start
# 32-bit Windows, the 32-bit build's 64-bit Windows and the second seat (prefixes of
# their own) get displays of their own: GUI tests on different displays run side by
# side, each moving its own pointer.
orv_xvfb_start ORV_DISPLAY_W32
orv_xvfb_start ORV_DISPLAY_WOW64
orv_xvfb_start ORV_DISPLAY_B
trap 'orv_xvfb_stop; bash "$root/scripts/stop-wine.sh" "$root/build"; bash "$root/scripts/stop-wine.sh" "$root/build-i686"' EXIT
# Every test program's leftovers are ended after it (scripts/wine-run.sh).
export ORV_REAP_LEFTOVERS=1

# The base prefixes of 64-bit and of 32-bit Windows are made beside the builds (the
# builds leave a core idle at times, and a prefix takes minutes where 32-bit programs
# are emulated); the 32-bit build's 64-bit one is then a copy of the 64-bit build's.
export ORV_PREFIX_SEED=$root/build/wine
prefixes() {
  bash scripts/wine-prefix.sh "$root/build" win10 96 >/dev/null &
  local base64=$!
  bash scripts/wine-prefix.sh "$root/build-i686" win10 96 win32 >/dev/null
  wait $base64
  bash scripts/wine-prefix.sh "$root/build-i686" win10 96 >/dev/null
  phase prefixes "$1"
}
prefixes "$(date +%s)" & making_prefixes=$!

start=$(date +%s)
cmake --preset default >/dev/null
cmake --build --preset default
# The delivered 32-bit executable, with the tests that run it.
cmake --preset i686 >/dev/null
cmake --build --preset i686
phase builds "$start"
wait $making_prefixes

# Both builds' tests in one ctest run, so that both cores stay busy to the end: the
# delivered 32-bit build's tests carry the label i686 and run on 32-bit Windows (_w32)
# and under WoW64 (_wow64).
all=$root/build/all
mkdir -p "$all"
printf 'subdirs("%s")\nsubdirs("%s")\n' "$root/build" "$root/build-i686" > "$all/CTestTestfile.cmake"
# A test that failed gets one more run, and the log says which ones needed it, so that
# a timing flake under Wine on a loaded machine is seen without hiding a fault: one
# that fails twice stays red.
start=$(date +%s)
status=0
# Three at a time on two cores: with two, half the processor time went unused (the
# tests mostly wait on windows, timers and the firmware stand-in).
if ! ctest --test-dir "$all" -j3 --output-on-failure --timeout 300 "$@"; then
  echo "failed on the first run:"
  sed 's/^/  /' "$all/Testing/Temporary/LastTestsFailed.log" || true
  echo "running those once more"
  ctest --test-dir "$all" --rerun-failed --output-on-failure --timeout 300 || status=1
fi
phase tests "$start"
phase "the test command" "$begun"
exit $status
