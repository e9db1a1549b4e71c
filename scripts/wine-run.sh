#!/usr/bin/env bash
# Runs a Windows program in the project's own Wine prefix (never ~/.wine).
# The tests run the 64-bit build: this machine cannot start 32-bit Linux programs, so
# wine32 is not available (see docs/ARCHITECTURE.md).
#
#   ORV_BUILD   build folder that holds the prefixes (default: ../build)
#   ORV_LANG    LANG/LC_ALL for the program (default zh_CN.UTF-8)
#   ORV_WINVER  Windows version the prefix reports: win10 (default) or win7
#   ORV_DPI     LogPixels of the prefix: 96 (default), 120, 144, ...
#   ORV_DLLOVERRIDES  extra WINEDLLOVERRIDES entries (e.g. "gdiplus,version=n,b")
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

prefix=$("$here/wine-prefix.sh" "$build" "$winver" "$dpi")

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${ORV_DLLOVERRIDES:+;$ORV_DLLOVERRIDES}"
export LANG=${ORV_LANG:-zh_CN.UTF-8} LC_ALL=${ORV_LANG:-zh_CN.UTF-8}
# wine64 directly: the "wine" wrapper would pick a 32-bit loader when one is installed.
export WINELOADER=/usr/lib/wine/wine64
exec "$WINELOADER" "$@"
