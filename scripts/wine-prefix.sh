#!/usr/bin/env bash
# wine-prefix.sh BUILD WINVER DPI [ARCH [SEAT]]: makes (once) and prints the prefix for these
# settings; a SEAT (b) gets prefixes of its own, named with the seat at their end.
# ARCH is win64 (default: 64-bit Windows, where 32-bit programs run under WoW64) or win32
# (32-bit Windows). The base prefix of each architecture reports Windows 10, maps the
# dialogs' "宋体" font to an installed CJK font, and holds our own timeout.exe (Wine's
# cmd.exe has none).
#
# ORV_PREFIX_SEED: another build's prefix folder; a base prefix ready there is copied
# instead of made anew (a 64-bit prefix takes a minute and more to make where 32-bit
# programs are emulated, a copy seconds).
#
# Copies share the program files of the prefix they come from (hard links): a prefix
# is 1.3 GB, a build makes six, and a machine's disk ran out on the full copies.
set -euo pipefail
build=$1 winver=$2 dpi=$3 arch=${4:-win64} seat=${5:-}
root=$build/wine
case $arch in
  win64) base=$root/base prefix=$root/$winver-$dpi${seat:+-$seat} loader=/usr/lib/wine/wine64 ;;
  win32) base=$root/base32 prefix=$root/w32-$winver-$dpi${seat:+-$seat} loader=/usr/lib/wine/wine ;;
  *) echo "wine-prefix: unknown architecture $arch" >&2; exit 1 ;;
esac
mkdir -p "$root"

# Bump when the prefix set-up changes: older prefixes are then made anew. A 64-bit
# prefix made before 32-bit Wine was installed lacks its 32-bit half and no longer
# starts once it is there, so the presence of 32-bit Wine is part of the layout.
# The program files are shared between prefixes, so a Wine that would update them in
# place (another version) must find no prefix it takes for its own.
layout=5
[ -x /usr/lib/wine/wine ] && layout=$layout+wine32
layout=$layout+$(/usr/lib/wine/wine64 --version 2>/dev/null || echo none)
quiet() { "$@" >/dev/null 2>&1; }
ready() { [ "$(cat "$1/.orv-ready" 2>/dev/null)" = "$layout" ]; }
wine_in() { WINEPREFIX=$1 WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 WINELOADER=$loader "${@:2}"; }
# set_values PREFIX LINE...: one registry import (a program start costs seconds where
# 32-bit programs are emulated); the lines are those of a .reg file.
# clone SOURCE TARGET: a copy that shares the source's program files. Whatever Wine or
# a test may rewrite in place (registry, .ini and log files, the users' folders, the
# prefix's own files) gets a copy of its own; programs are only ever replaced whole.
clone() {
  if ! cp -al "$1" "$2" 2>/dev/null; then
    rm -rf "$2"
    cp -a "$1" "$2"
    return 0
  fi
  find "$2" -type f \( ! -path "$2/drive_c/*" -o -path "$2/drive_c/users/*" \
      -o -iname '*.ini' -o -iname '*.log' -o -iname '*.txt' -o -iname '*.reg' \) -print0 |
    while IFS= read -r -d '' file; do
      cp -p "$file" "$file.orv-own" && mv -f "$file.orv-own" "$file"
    done
}
set_values() {
  local file=$1/drive_c/orv-settings.reg
  { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; printf '%s\r\n' "${@:2}"; } |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$file"
  wine_in "$1" quiet $loader regedit /s 'C:\orv-settings.reg'
  wine_in "$1" quiet wineserver -w
  rm -f "$file"
}

make_base() {
  ready "$base" && return 0
  WINEPREFIX=$base quiet wineserver -k || true
  rm -rf "$base"
  local seed=${ORV_PREFIX_SEED:+$ORV_PREFIX_SEED/${base##*/}}
  if [ -n "$seed" ] && [ "$seed" != "$base" ] && ready "$seed"; then
    clone "$seed" "$base"
    return 0
  fi
  wine_in "$base" quiet $loader wineboot -i
  # The Sharp face: the plain one loses thin horizontal strokes at the dialogs' size.
  # Unmanaged windows: without a window manager, Wine otherwise waits two seconds for
  # every window it hides.
  set_values "$base" \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
    '"宋体"="WenQuanYi Zen Hei Sharp"' '"SimSun"="WenQuanYi Zen Hei Sharp"' '' \
    '[HKEY_CURRENT_USER\Software\Wine]' '"Version"="win10"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"'
  echo "$layout" > "$base/.orv-ready"
}

make_variant() {
  ready "$prefix" && return 0
  WINEPREFIX=$prefix quiet wineserver -k || true
  rm -rf "$prefix"
  clone "$base" "$prefix"
  rm -f "$prefix/.orv-ready"
  set_values "$prefix" '[HKEY_CURRENT_USER\Software\Wine]' "\"Version\"=\"$winver\"" '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' "\"LogPixels\"=dword:$(printf %08x "$dpi")"
  echo "$layout" > "$prefix/.orv-ready"
}

(
  flock 9
  make_base
  make_variant
  # Keep our timeout.exe current in the prefix's system folders (a 32-bit cmd.exe under
  # WoW64 looks in syswow64).
  tool=$build/bin/timeout.exe
  for sys in "$prefix"/drive_c/windows/system32 "$prefix"/drive_c/windows/syswow64; do
    [ -d "$sys" ] || continue
    # Replaced, never written over: the old file may be shared with other prefixes.
    if [ -f "$tool" ] && ! cmp -s "$tool" "$sys/timeout.exe"; then
      rm -f "$sys/timeout.exe"
      cp "$tool" "$sys/timeout.exe"
    fi
  done
) 9>"$root/.lock"
echo "$prefix"
