#!/usr/bin/env bash
# Ends the wineservers (and every Windows process) of all prefixes of a build folder.
build=${1:-$(dirname "$0")/../build}
# wineserver takes only an absolute WINEPREFIX.
build=$(cd "$build" 2>/dev/null && pwd) || exit 0
for p in "$build"/wine/*/; do
  WINEPREFIX=$p wineserver -k >/dev/null 2>&1
done
exit 0
