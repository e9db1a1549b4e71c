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
layout=4
[ -x /usr/lib/wine/wine ] && layout=$layout+wine32
quiet() { "$@" >/dev/null 2>&1; }
ready() { [ "$(cat "$1/.orv-ready" 2>/dev/null)" = "$layout" ]; }
wine_in() { WINEPREFIX=$1 WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 WINELOADER=$loader "${@:2}"; }

make_base() {
  ready "$base" && return 0
  WINEPREFIX=$base quiet wineserver -k || true
  rm -rf "$base"
  local seed=${ORV_PREFIX_SEED:+$ORV_PREFIX_SEED/${base##*/}}
  if [ -n "$seed" ] && [ "$seed" != "$base" ] && ready "$seed"; then
    cp -a "$seed" "$base"
    return 0
  fi
  wine_in "$base" quiet $loader wineboot -i
  # The Sharp face: the plain one loses thin horizontal strokes at the dialogs' size.
  local subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  wine_in "$base" quiet $loader reg add "$subst" /v "宋体" /d "WenQuanYi Zen Hei Sharp" /f
  wine_in "$base" quiet $loader reg add "$subst" /v "SimSun" /d "WenQuanYi Zen Hei Sharp" /f
  wine_in "$base" quiet $loader reg add 'HKCU\Software\Wine' /v Version /d win10 /f
  # Unmanaged windows: without a window manager, Wine otherwise waits two seconds
  # for every window it hides.
  wine_in "$base" quiet $loader reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  wine_in "$base" quiet wineserver -w
  echo "$layout" > "$base/.orv-ready"
}

make_variant() {
  ready "$prefix" && return 0
  WINEPREFIX=$prefix quiet wineserver -k || true
  rm -rf "$prefix"
  cp -a "$base" "$prefix"
  rm -f "$prefix/.orv-ready"
  wine_in "$prefix" quiet $loader reg add 'HKCU\Software\Wine' /v Version /d "$winver" /f
  wine_in "$prefix" quiet $loader reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  wine_in "$prefix" quiet wineserver -w
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
    if [ -f "$tool" ] && ! cmp -s "$tool" "$sys/timeout.exe"; then cp "$tool" "$sys/timeout.exe"; fi
  done
) 9>"$root/.lock"
echo "$prefix"
