#!/usr/bin/env bash
# Sets everything up, builds, and runs the delivered 32-bit tool from a fresh copy of
# its folder (the tool removes its own folder when it is closed). With a display it
# opens a real window there; without one it runs a scripted repair under a
# private Xvfb and saves a screenshot of every step in build-i686/screens/.
# ORV_LANG (default zh_CN.UTF-8) and ORV_DPI (default 96) choose language and DPI.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
cmake --preset i686 >/dev/null
cmake --build --preset i686

stamp=$(date +%Y%m%d-%H%M%S)
copy=$root/build-i686/run/$stamp/Orvane
mkdir -p "$(dirname "$copy")"
cp -r build-i686/dist "$copy"
export ORV_BUILD=$root/build-i686
trap 'bash "$root/scripts/stop-wine.sh" "$root/build-i686"' EXIT

has_display() {
  [ -n "${DISPLAY:-}" ] || return 1
  local n=${DISPLAY#*:}; n=${n%%.*}
  [ -S "/tmp/.X11-unix/X$n" ]
}

if has_display; then
  echo "Running the tool on $DISPLAY from $copy"
  scripts/wine-run.sh "$copy/FastMendLUMAFWU.exe"
else
  source scripts/xvfb.sh
  orv_xvfb_start
  trap 'orv_xvfb_stop; bash "$root/scripts/stop-wine.sh" "$root/build-i686"' EXIT
  printf 'open=0\n' > "$copy/CorvelFeedbackInformation.ini"
  screens=$root/build-i686/screens
  mkdir -p "$screens"
  lang=${ORV_LANG:-zh_CN.UTF-8}
  tag=demo-${lang%%.*}-${ORV_DPI:-96}
  echo "No display: a scripted repair under Xvfb ($DISPLAY), screenshots in $screens"
  winpath() { echo "Z:$1" | sed 's#/#\\#g'; }
  rm -f "$screens"/$tag-*.png
  scripts/wine-run.sh build-i686/bin/orv_demo.exe "$(winpath "$copy")" "$(winpath "$screens")" "$tag"
  echo "Screenshots: $(ls "$screens"/$tag-*.png | tr '\n' ' ')"
fi
