#!/usr/bin/env bash
# Regenerates the flat-coloured test pictures of tests/skin/png (ImageMagick).
# Flat colours keep the pixel checks of the GUI tests exact after stretching.
set -euo pipefail
cd "$(dirname "$0")/png"
# A dialog skin: yellow, with the cyan block (20, 10, 80, 40) that a button borrows.
convert -size 200x100 xc:'rgb(255,255,0)' +antialias -fill 'rgb(0,255,255)' -draw 'rectangle 20,10 79,39' PNG24:skin.png
# Action-button states with a 9-pixel transparent rim: red, green, blue, grey.
i=0
for c in 'rgb(255,0,0)' 'rgb(0,200,0)' 'rgb(0,0,255)' 'rgb(128,128,128)'; do
  convert -size 80x40 xc:none +antialias -fill "$c" -draw 'rectangle 9,9 70,30' PNG32:image$i.png
  i=$((i + 1))
done
# Small-button states without alpha; the last column and row are magenta.
i=0
for c in 'rgb(200,0,0)' 'rgb(0,160,0)' 'rgb(0,0,200)' 'rgb(100,100,100)'; do
  convert -size 20x20 xc:"$c" +antialias -fill 'rgb(255,0,255)' -draw 'rectangle 19,0 19,19' -draw 'rectangle 0,19 19,19' PNG24:small$i.png
  i=$((i + 1))
done
# Present under the "PNG" type but not a picture.
printf 'this is not a picture\n' > broken.png
