#!/usr/bin/env bash
# wine-prefix.sh BUILD WINVER DPI: makes (once) and prints the prefix for these settings.
# The base prefix is 64-bit (see wine-run.sh), reports Windows 10, maps the dialogs' "宋体" font to an
# installed CJK font, and holds our own timeout.exe (Wine's cmd.exe has none).
set -euo pipefail
build=$1 winver=$2 dpi=$3
root=$build/wine
base=$root/base
prefix=$root/$winver-$dpi
mkdir -p "$root"

# Bump when the prefix set-up changes: older prefixes are then made anew.
layout=3
quiet() { "$@" >/dev/null 2>&1; }
ready() { [ "$(cat "$1/.orv-ready" 2>/dev/null)" = "$layout" ]; }
wine_in() { WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 WINELOADER=/usr/lib/wine/wine64 "${@:2}"; }

make_base() {
  ready "$base" && return 0
  WINEPREFIX=$base quiet wineserver -k || true
  rm -rf "$base"
  wine_in "$base" quiet /usr/lib/wine/wine64 wineboot -i
  # The Sharp face: the plain one loses thin horizontal strokes at the dialogs' size.
  local subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  wine_in "$base" quiet /usr/lib/wine/wine64 reg add "$subst" /v "宋体" /d "WenQuanYi Zen Hei Sharp" /f
  wine_in "$base" quiet /usr/lib/wine/wine64 reg add "$subst" /v "SimSun" /d "WenQuanYi Zen Hei Sharp" /f
  wine_in "$base" quiet /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine' /v Version /d win10 /f
  # Unmanaged windows: without a window manager, Wine otherwise waits two seconds
  # for every window it hides.
  wine_in "$base" quiet /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  wine_in "$base" quiet wineserver -w
  echo "$layout" > "$base/.orv-ready"
}

make_variant() {
  ready "$prefix" && return 0
  WINEPREFIX=$prefix quiet wineserver -k || true
  rm -rf "$prefix"
  cp -a "$base" "$prefix"
  rm -f "$prefix/.orv-ready"
  wine_in "$prefix" quiet /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine' /v Version /d "$winver" /f
  wine_in "$prefix" quiet /usr/lib/wine/wine64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  wine_in "$prefix" quiet wineserver -w
  echo "$layout" > "$prefix/.orv-ready"
}

(
  flock 9
  make_base
  make_variant
  # Keep our timeout.exe current in the prefix's system folder.
  tool=$build/bin/timeout.exe
  sys=$prefix/drive_c/windows/system32
  if [ -f "$tool" ] && ! cmp -s "$tool" "$sys/timeout.exe"; then cp "$tool" "$sys/timeout.exe"; fi
) 9>"$root/.lock"
echo "$prefix"
