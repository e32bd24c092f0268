#!/usr/bin/env bash
# Packs the sample content into the game's data archive:
#   pack.sh <data source folder> <staging folder> <archive> <password> <python>
# Scripts are compiled, images drawn with ImageMagick, the sound made with sox, the font
# taken from the DejaVu package; then everything is zipped with the password.
set -euo pipefail
src=$1 stage=$2 archive=$3 password=$4 python=$5
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

rm -rf "$stage"
mkdir -p "$stage"/{pyc,configs,cfg,xml,fonts,sounds,images/loading,images/scene}
cp "$src"/configs/*.xml "$stage/configs/"
cp "$src"/cfg/*.cfg "$stage/cfg/"
cp "$src"/xml/*.xml "$stage/xml/"
cp "$font" "$stage/fonts/"

for script in "$src"/scripts/*.py; do
    name=$(basename "$script" .py)
    "$python" -c 'import py_compile, sys; py_compile.compile(sys.argv[1], cfile=sys.argv[2], dfile=sys.argv[3], doraise=True)' \
        "$script" "$stage/pyc/$name.pyc" "$name.py"
done

# The loading screen: a dusk gradient, a framed plate, a ring of horses, and the word
# "Loading" in twelve cels whose dots grow.
loading=$stage/images/loading
convert -size 800x600 gradient:'#1b2a4a'-'#0a0f1c' PNG32:"$loading/bg.png"
convert -size 420x300 xc:'#2e3f66' -fill none -stroke '#c9b27c' -strokewidth 6 \
    -draw 'roundrectangle 6,6 413,293 24,24' PNG32:"$loading/pell_crop.png"
convert -size 160x160 xc:none -fill '#c9b27c' -draw 'circle 80,80 80,10' -fill '#2e3f66' \
    -draw 'circle 80,80 80,30' -fill '#e8dcb5' -draw 'polygon 80,14 92,40 68,40' PNG32:"$loading/horses.png"
cels=()
for i in $(seq 0 11); do
    dots=$(printf '%*s' $((i % 4)) '' | tr ' ' '.')
    cel=$stage/cel_$i.png
    convert -size 200x48 xc:none -font "$bold" -pointsize 28 -fill '#e8dcb5' -gravity west \
        -annotate +20+0 "Loading$dots" PNG32:"$cel"
    cels+=("$cel")
done
convert "${cels[@]}" +append PNG32:"$loading/txt_loading.png"
rm -f "${cels[@]}"

# The sample scene.
scene=$stage/images/scene
convert -size 800x600 xc:'#20304a' -fill '#2c4468' -draw 'rectangle 0,420 800,600' PNG32:"$scene/scene_bg.png"
convert -size 96x96 xc:none -fill '#f2c14e' \
    -draw 'polygon 48,4 59,36 93,36 66,56 76,90 48,70 20,90 30,56 3,36 37,36' PNG32:"$scene/star.png"

# The board: 12 x 8 cells of 40 pixels in two shades with a darker seam, a strip of four
# plates, the fog tiles (a 3 x 3 nine-patch and four inner corners, 40 pixels each; the
# unused corner is full fog, so that the inner corners' lower edges sample fog), the
# entrance (a stone arch over a dark door), the mask that softens its top, and a spark.
convert -size 80x80 xc:'#3d5f7f' -fill '#35536f' -draw 'rectangle 40,0 79,39' -draw 'rectangle 0,40 39,79' \
    PNG32:"$stage/checker.png"
seams=()
for x in $(seq 0 40 480); do seams+=(-draw "line $x,0 $x,319"); done
for y in $(seq 0 40 320); do seams+=(-draw "line 0,$y 479,$y"); done
convert -size 480x320 tile:"$stage/checker.png" +antialias -stroke '#2a4058' "${seams[@]}" PNG32:"$scene/board.png"
rm -f "$stage/checker.png"
plates=()
for colour in '#e05a5a' '#5ad07a' '#5a8ae0' '#d9a0f0'; do
    plate=$stage/plate_${#plates[@]}.png
    convert -size 40x40 xc:none -fill "$colour" -draw 'circle 20,20 20,8' -fill '#ffffffb0' -draw 'circle 16,16 16,13' \
        PNG32:"$plate"
    plates+=("$plate")
done
convert "${plates[@]}" +append PNG32:"$scene/plates.png"
rm -f "${plates[@]}"
convert -size 120x120 xc:black -fill white -draw 'roundrectangle 6,6 113,113 26,26' -blur 0x5 "$stage/nine.png"
convert -size 80x80 xc:white -fill black -draw 'circle 0,0 14,0' -draw 'circle 79,0 93,0' -draw 'circle 0,79 14,79' \
    -draw 'circle 79,79 93,79' -virtual-pixel edge -blur 0x4 -background white -gravity north -extent 80x120 \
    "$stage/inner.png"
convert "$stage/nine.png" "$stage/inner.png" +append -evaluate multiply 0.85 "$stage/fog_mask.png"
convert -size 200x120 xc:'#dfe6ee' "$stage/fog_mask.png" -alpha off -compose CopyOpacity -composite PNG32:"$scene/fog.png"
rm -f "$stage/nine.png" "$stage/inner.png" "$stage/fog_mask.png"
convert -size 120x120 xc:'#6b6f7a' +antialias -stroke '#585c66' -draw 'line 0,30 119,30' -draw 'line 0,60 119,60' \
    -draw 'line 0,90 119,90' -stroke none -fill '#c9a24a' -draw 'roundrectangle 28,12 91,170 30,30' \
    -fill '#1a1410' -draw 'roundrectangle 36,20 83,170 24,24' PNG32:"$scene/entrance.png"
convert -size 40x40 radial-gradient:white-black -level 0,55% PNG32:"$scene/entrance_mask.png"
convert -size 16x16 radial-gradient:'#fff3c0'-'#fff3c000' PNG32:"$scene/spark.png"

sox -n -r 22050 -c 1 "$stage/sounds/chime.ogg" synth 0.35 sine 880 fade 0 0.35 0.3

rm -f "$archive"
(cd "$stage" && zip -q -r -X -D -P "$password" "$archive" .)
