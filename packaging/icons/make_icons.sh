#!/usr/bin/env bash
# Draws the package's two icons with ImageMagick primitives and writes them as multi-size
# icon files: packaging/Beacon.ico (a lighthouse sending its beams; the program's shortcut)
# and packaging/Skull.ico (a skull; the uninstaller's shortcut).
# Each picture is drawn once on a 256-pixel canvas and scaled down to 48, 32, 24 and 16
# pixels. Run from anywhere: packaging/icons/make_icons.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/..}
# The real ImageMagick (a stand-in named convert may come first on the PATH).
IM=/usr/bin/convert
[ -x "$IM" ] || IM=$(command -v convert)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A lighthouse on a rock in a dark sea, red and white bands, a glowing lantern and two beams;
# the scene is cut to a rounded square.
"$IM" -size 256x256 xc:'#1d3b6e' \
  -stroke none -fill '#ffe06688' -draw 'polygon 128,62 0,14 0,110' \
  -fill '#ffe06688' -draw 'polygon 128,62 256,14 256,110' \
  -fill '#2a6fb0' -draw 'rectangle 0,204 256,256' \
  -fill '#5b5048' -draw 'ellipse 128,214 78,20 180,360' \
  -fill '#6e6257' -draw 'polygon 54,214 202,214 182,196 74,196' \
  -fill '#f4f1ea' -stroke '#3a2a20' -strokewidth 4 -draw 'polygon 96,200 160,200 148,92 108,92' \
  -stroke none -fill '#d63a2f' -draw 'polygon 98,186 158,186 155,158 101,158' \
  -fill '#d63a2f' -draw 'polygon 104,134 152,134 150,114 106,114' \
  -fill '#3a2a20' -draw 'rectangle 98,84 158,94' \
  -fill '#fff3a0' -stroke '#3a2a20' -strokewidth 4 -draw 'rectangle 108,50 148,84' \
  -stroke '#3a2a20' -strokewidth 3 -draw 'line 128,50 128,84' \
  -stroke none -fill '#d63a2f' -stroke '#3a2a20' -strokewidth 4 -draw 'polygon 100,52 156,52 128,26' \
  -stroke none -fill '#ffffffcc' -draw 'circle 120,64 120,58' \
  \( -size 256x256 xc:none -fill white -draw 'roundrectangle 8,8 247,247 44,44' \) \
  -compose DstIn -composite \
  "$tmp/beacon.png"

# A skull: bone-white cranium and cheeks, dark eye sockets and nose, a row of teeth.
"$IM" -size 256x256 xc:none \
  -fill '#efe9d8' -stroke '#2b2320' -strokewidth 8 -draw 'ellipse 128,108 92,90 0,360' \
  -draw 'roundrectangle 70,150 186,222 22,22' \
  -stroke none -draw 'rectangle 76,140 180,170' \
  -fill '#2b2320' -draw 'ellipse 92,118 26,28 0,360' -draw 'ellipse 164,118 26,28 0,360' \
  -fill '#c8402f' -draw 'circle 96,122 96,132' -draw 'circle 160,122 160,132' \
  -fill '#2b2320' -draw 'polygon 128,144 114,172 142,172' \
  -stroke '#2b2320' -strokewidth 6 -draw 'line 84,190 172,190' \
  -strokewidth 5 -draw 'line 100,180 100,218' -draw 'line 118,180 118,220' \
  -draw 'line 138,180 138,220' -draw 'line 156,180 156,218' \
  -fill none -stroke '#c9bfa6' -strokewidth 6 -draw 'arc 64,34 140,110 200,260' \
  "$tmp/skull.png"

for name in beacon skull; do
  sizes=()
  for s in 256 48 32 24 16; do
    "$IM" "$tmp/$name.png" -filter Lanczos -resize ${s}x${s} -depth 8 -strip \
      -define png:exclude-chunks=date,time "$tmp/$name-$s.png"
    sizes+=("$tmp/$name-$s.png")
  done
  file="$out/$( [ $name = beacon ] && echo Beacon || echo Skull ).ico"
  "$IM" "${sizes[@]}" -define png:exclude-chunks=date,time "$file"
  echo "wrote $file"
done
