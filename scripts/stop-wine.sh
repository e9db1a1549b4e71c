#!/usr/bin/env bash
# Ends the wineservers (and every Windows process) of all prefixes of a build folder.
build=${1:-$(dirname "$0")/../build}
for p in "$build"/wine/*/; do
  WINEPREFIX=$p wineserver -k >/dev/null 2>&1
done
exit 0
