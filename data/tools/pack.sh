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

# The loading screen: a dusk gradient, a framed plate (transparent outside its rounded
# frame), a ring of horses, and the word "Loading" in twelve cels whose dots grow. The game
# centres the cels 142 pixels below the plate's centre, on its frame: the word sits in the
# cels' top part, inside the plate between the ring and the frame.
loading=$stage/images/loading
convert -size 800x600 gradient:'#1b2a4a'-'#0a0f1c' PNG32:"$loading/bg.png"
convert -size 420x300 xc:none -fill '#2e3f66' -stroke '#c9b27c' -strokewidth 6 \
    -draw 'roundrectangle 6,6 413,293 24,24' PNG32:"$loading/pell_crop.png"
convert -size 160x160 xc:none -fill '#c9b27c' -draw 'circle 80,80 80,10' -fill '#2e3f66' \
    -draw 'circle 80,80 80,30' -fill '#e8dcb5' -draw 'polygon 80,14 92,40 68,40' PNG32:"$loading/horses.png"
cels=()
for i in $(seq 0 11); do
    dots=$(printf '%*s' $((i % 4)) '' | tr ' ' '.')
    cel=$stage/cel_$i.png
    convert -size 200x112 xc:none -font "$bold" -pointsize 28 -fill '#e8dcb5' -gravity northwest \
        -annotate +20+6 "Loading$dots" PNG32:"$cel"
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
# plates, the fog tiles, the entrance and the mask that softens its top, and a spark.
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
# The fog tiles, 40 pixels each: a 3 x 3 nine-patch (columns 0 to 2), the four inner
# corners (columns 3 and 4, rows 0 and 1: fog missing at the top left, top right, bottom
# right and bottom left corner) and full fog below them. Every tile's cover is one fade
# of the distance d to the fog's edge: straight along an edge, round (a quarter circle of
# 40 pixels) in an outer corner, and in an inner corner the distance to the corner point.
# So a tile's border matches its neighbour's wherever fog meets fog: an inner corner's
# left column fades as the top edge beside it does, its top row as the left edge above.
fog_cover='S=40; tc=floor(i/S); tr=floor(j/S); qx=i-tc*S+0.5; qy=j-tr*S+0.5; far=1000;
    dx = tc==0 ? qx : (tc==2 ? S-qx : far);
    dy = tr==0 ? qy : (tr==2 ? S-qy : far);
    edge = (dx<S && dy<S) ? S-hypot(S-dx, S-dy) : min(dx, dy);
    cx = tc==3 ? 0 : S; cy = tr==0 ? 0 : S;
    inner = tr==2 ? far : hypot(qx-cx, qy-cy);
    q = max(0, min(1, (tc<3 ? edge : inner) / 24));
    0.85*q*q*(3-2*q)'
convert -size 200x120 xc:black -fx "$fog_cover" "$stage/fog_mask.png"
convert -size 200x120 xc:'#dfe6ee' "$stage/fog_mask.png" -alpha off -compose CopyOpacity -composite PNG32:"$scene/fog.png"
rm -f "$stage/fog_mask.png"
# The entrance, 3 x 3 cells of 40 pixels whose top corners the game opens: a stone wall,
# the gold arch over the dark door, both below the top row but for the arch's crown and
# its keystone, which stay in the top middle cell; the mask gives that cell a dome whose
# foot stands on the arch.
convert -size 120x120 xc:'#6b6f7a' +antialias -stroke '#585c66' -draw 'line 0,30 119,30' -draw 'line 0,60 119,60' \
    -draw 'line 0,90 119,90' -stroke none -fill '#c9a24a' -draw 'roundrectangle 24,36 95,170 36,36' \
    -fill '#1a1410' -draw 'roundrectangle 34,46 85,170 26,26' -fill '#c9a24a' -draw 'polygon 53,26 66,26 63,40 56,40' \
    PNG32:"$scene/entrance.png"
convert -size 40x40 xc:black -fx 'd=hypot(i+0.5-20, j+0.5-40); max(0, min(1, (20-d)/6))' PNG32:"$scene/entrance_mask.png"
convert -size 16x16 radial-gradient:'#fff3c0'-'#fff3c000' PNG32:"$scene/spark.png"

sox -n -r 22050 -c 1 "$stage/sounds/chime.ogg" synth 0.35 sine 880 fade 0 0.35 0.3

rm -f "$archive"
(cd "$stage" && zip -q -r -X -D -P "$password" "$archive" .)
