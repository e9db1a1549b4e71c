#!/usr/bin/env bash
# Makes the README's pictures: a scripted run of the delivered tool in Chinese and
# in English under a private Xvfb, every step cropped to the tool's windows, into
# docs/screens/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null

source scripts/xvfb.sh
orv_xvfb_start
trap 'orv_xvfb_stop; bash "$root/scripts/stop-wine.sh" "$root/build"' EXIT
export ORV_BUILD=$root/build
raw=$root/build/screens/readme
out=$root/docs/screens
rm -rf "$raw"
rm -rf "$out"
mkdir -p "$raw" "$out"
winpath() { echo "Z:$1" | sed 's#/#\\#g'; }
for lang in zh_CN en_US; do
  copy=$root/build/run/screens-$lang/Orvane
  rm -rf "$(dirname "$copy")"
  mkdir -p "$(dirname "$copy")"
  cp -r build/dist "$copy"
  # The feedback stand-in opens no browser in a scripted run.
  printf 'open=0\n' > "$copy/CorvelFeedbackInformation.ini"
  ORV_LANG=$lang.UTF-8 scripts/wine-run.sh build/bin/orv_demo.exe "$(winpath "$copy")" "$(winpath "$raw")" "$lang" || true
done
# Layered backs show black without a compositor: crop to what is not black.
for f in "$raw"/*.png; do
  convert "$f" -fuzz 2% -trim +repage "$out/$(basename "$f")"
done
ls -1 "$out"
