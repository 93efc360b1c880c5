#!/bin/bash
# Draws resources/toolbar.bmp (bitmap 700) and resources/main.ico; the outputs are committed,
# so the build itself never needs ImageMagick. Run again after changing a drawing here.
# usage: draw-resources.sh [PREVIEW_DIR]   (also writes enlarged PNGs there for a look)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/resources"
preview="${1:-}"
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
[ -f "$font" ] || { echo "IPA Gothic missing: run scripts/setup.sh" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

face='rgb(192,192,192)' # the button face: the tool bar maps it to the system colour
red='rgb(220,0,0)'
dark_red='rgb(128,0,0)'
blue='rgb(0,0,200)'
gold='rgb(255,208,0)'
brown='rgb(120,80,0)'

# Drawing commands of the cell being drawn.
d=()

# IPA Gothic at 12 px comes out as its hand-tuned bitmaps when not anti-aliased: two kanji
# fill 22 of the 24 columns. Top line: ink on rows 0-10; bottom line: rows 12-22.
top() { d+=(-stroke none -fill "$2" -draw "text ${3:-0},10 '$1'"); }
bottom() { d+=(-stroke none -fill "$2" -draw "text ${3:-0},22 '$1'"); }

# pixels X Y COLOUR ROW...: a small picture, '#' for a pixel of COLOUR. Letters and signs
# are drawn this way because the font's own Latin letters are one pixel thin at this size.
pixels() {
  local x="$1" y="$2" colour="$3" points="" row i
  shift 3
  for row in "$@"; do
    for ((i = 0; i < ${#row}; i++)); do
      [ "${row:i:1}" = "#" ] && points+="point $((x + i)),$y "
    done
    y=$((y + 1))
  done
  d+=(-stroke none -fill "$colour" -draw "$points")
}

letter_O=(.####. "##..##" "##..##" "##..##" "##..##" "##..##" "##..##" "##..##" .####.)
letter_N=("##...##" "###..##" "####.##" "####.##" "##.####" "##.####" "##..###" "##...##" "##...##")
letter_F=("######" "######" "##...." "##...." "#####." "#####." "##...." "##...." "##....")
letter_e=(.####. "##..##" "######" "##...." "##...#" .####.)
letter_w=("##...##" "##...##" "##.#.##" "##.#.##" "#######" .##.##.)

yen() {
  pixels 7 0 "$1" "##......##" "##......##" .##....##. ..##..##.. ...####... .########. \
    ....##.... .########. ....##.... ....##.... ....##....
}

globe() {
  d+=(-fill 'rgb(96,176,255)' -stroke 'rgb(0,64,160)' -draw 'circle 12,5 12,0'
    -fill none -draw 'ellipse 12,5 2,5 0,360' -draw 'line 7,5 17,5'
    -draw 'line 8,2 16,2' -draw 'line 8,8 16,8')
}

cell() {
  convert -size 24x24 "xc:$face" +antialias -font "$font" -pointsize 12 "${d[@]}" \
    "$work/cell$(printf %02d "$1").png"
  d=()
}

# 0: apply, a red arrow up and to the right.
d+=(-fill "$red" -stroke "$dark_red" -draw 'polygon 20,3 20,15 16,11 6,21 2,17 12,7 8,3')
cell 0
top 部材 black
bottom 名称 black
cell 1
top 部材 black
bottom 摘要 black
cell 2
yen black
bottom 実行 black
cell 3
yen black
bottom 見積 black
cell 4
# 5: cubic metres.
pixels 4 3 black "##########" "##########" "##..##..##" "##..##..##" "##..##..##" \
  "##..##..##" "##..##..##"
pixels 16 0 black "###." "...#" ".##." "...#" "###."
bottom 単位 black
cell 5
# 6: a safety helmet.
d+=(-fill "$gold" -stroke "$brown" -draw 'ellipse 12,9 8,8 180,360' -draw 'rectangle 2,8 22,10'
  -stroke none -fill 'rgb(255,240,160)' -draw 'rectangle 11,2 12,7')
bottom 工種 black
cell 6
# 7: a building.
d+=(-fill 'rgb(230,230,230)' -stroke 'rgb(64,64,64)' -draw 'rectangle 5,0 13,10'
  -draw 'rectangle 13,4 19,10' -stroke none -fill 'rgb(0,64,160)'
  -draw 'rectangle 7,2 8,3' -draw 'rectangle 10,2 11,3' -draw 'rectangle 7,5 8,6'
  -draw 'rectangle 10,5 11,6' -draw 'rectangle 15,6 17,7' -draw 'rectangle 8,8 10,10')
bottom 発注 black
cell 7
# 8: select all / clear.
pixels 4 1 "$red" "${letter_O[@]}"
pixels 12 1 "$red" "${letter_N[@]}"
pixels 2 13 "$blue" "${letter_O[@]}"
pixels 9 13 "$blue" "${letter_F[@]}"
pixels 16 13 "$blue" "${letter_F[@]}"
cell 8
# 9: new items only.
pixels 1 0 black "${letter_N[@]}"
pixels 9 3 black "${letter_e[@]}"
pixels 16 3 black "${letter_w[@]}"
d+=(-fill "$gold" -stroke "$brown" -draw 'polygon 12,11 14,15 18,15 15,18 16,22 12,20 8,22 9,18 6,15 10,15')
cell 9
# 10: code or item names; half-width kana, since three full-width ones would not fit.
top ｺ black 0
d+=(-fill black -draw 'rectangle 6,5 8,5')
top ﾄﾞ black 8
d+=(-stroke black -draw 'line 22,1 17,10')
bottom 項目 black
cell 10
yen "$red"
bottom 上書 black
cell 11
# 12: help, a red question mark.
pixels 7 2 "$red" ..######.. .########. "###....###" "###....###" .......### ......###. \
  .....###.. ....###... ....###... ....###... ....###... .......... .......... ....###... \
  ....###... ....###...
cell 12
globe
bottom 更新 "$red"
cell 13
globe
bottom 編集 black
cell 14
top 変更 black
bottom 表示 black
cell 15

# 16 x 24 columns and one spare one, in a palette of 8 bits per pixel: a BMP3 header, which
# windres and LoadBitmap take, and no compression, as the tool bar maps the palette of the
# raw bits to the system colours. ImageMagick writes as few bits as the colours need, so the
# palette is padded to 256 entries with greys that no pixel uses.
convert "$work"/cell*.png +append -background "$face" -gravity west -extent 385x24 \
  "$work/strip.png"
convert "$work/strip.png" -unique-colors "$work/used.png"
used=$(identify -format %w "$work/used.png")
convert "$work/used.png" -size "$((256 - used))x1" gradient:black-white +append \
  "$work/palette.png"
convert "$work/strip.png" +dither -remap "$work/palette.png" -compress none \
  "BMP3:$out/toolbar.bmp"
[ "$(compare -metric AE "$work/strip.png" "$out/toolbar.bmp" null: 2>&1)" = 0 ] ||
  { echo "toolbar.bmp lost colours of the drawing" >&2; exit 1; }

# The icon: a price tag with a yen sign and a red arrow up. 48 and 32 pixels are an exact
# average of a drawing at 192; 16 pixels are drawn by hand, which an average blurs.
tag='rgb(255,176,40)'
tag_line='rgb(110,60,0)'
convert -size 192x192 xc:none -stroke "$tag_line" -strokewidth 10 -fill "$tag" \
  -draw 'polygon 6,116 56,56 156,56 156,180 56,180' \
  -fill 'rgb(255,236,190)' -strokewidth 6 -draw 'circle 40,116 40,104' \
  -stroke none -fill "$tag_line" \
  -draw 'polygon 64,74 87,74 108,108 129,74 152,74 118,120 118,166 98,166 98,120' \
  -draw 'rectangle 72,118 144,130' -draw 'rectangle 72,140 144,152' \
  -stroke "$dark_red" -strokewidth 6 -fill "$red" \
  -draw 'polygon 162,6 190,46 174,46 174,108 150,108 150,46 134,46' "$work/icon-192.png"
for size in 48 32; do
  convert "$work/icon-192.png" -filter box -resize "${size}x$size" "$work/icon-$size.png"
done
icon16=(
  ............r...
  ...........rrr..
  ..........rrrrr.
  .........rrrrrrr
  ....bbbbbbbrrr..
  ...booooooorrr..
  ..bobooooborrr..
  .booobooboorrr..
  booooobbooorrr..
  bolobbbbbbob....
  booooobbooob....
  .boobbbbbbob....
  ..booobbooob....
  ...booooooob....
  ....bbbbbbbb....
  ................
)
legend=("o:$tag" "b:$tag_line" "r:$red" "l:rgb(255,236,190)")
for entry in "${legend[@]}"; do
  key="${entry%%:*}"
  rows=()
  for row in "${icon16[@]}"; do
    row="${row//[!$key]/.}"
    rows+=("${row//$key/#}")
  done
  pixels 0 0 "${entry#*:}" "${rows[@]}"
done
convert -size 16x16 xc:none "${d[@]}" "$work/icon-16.png"
d=()
convert "$work/icon-16.png" "$work/icon-32.png" "$work/icon-48.png" "$out/main.ico"

if [ -n "$preview" ]; then
  mkdir -p "$preview"
  for half in 0 1; do
    convert "$out/toolbar.bmp" -crop "192x24+$((half * 192))+0" +repage -scale 1000% \
      "$preview/toolbar-$half.png"
  done
  for size in 16 32 48; do
    convert "$out/main.ico[$(((size - 16) / 16))]" -background "$face" -flatten \
      -scale "$((192 / size * 100))%" "$work/preview-$size.png"
  done
  convert "$work"/preview-{16,32,48}.png +append "$preview/icon.png"
fi
