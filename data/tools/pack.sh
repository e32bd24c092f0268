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

sox -n -r 22050 -c 1 "$stage/sounds/chime.ogg" synth 0.35 sine 880 fade 0 0.35 0.3

rm -f "$archive"
(cd "$stage" && zip -q -r -X -D -P "$password" "$archive" .)
