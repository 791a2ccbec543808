#!/bin/sh
# Writes the HEIF and AVIF pictures the tests decode, made by Debian's
# encoders from one PNG, and what the reference decoders make of them as
# PNG files (*_ref.png). avifdec leaves transform properties to its caller,
# so the turned and mirrored references are its pixels turned by convert.
# heif_pictures.sh CONVERT EXIFTOOL FOLDER
set -eu
convert=$1 exiftool=$2 out=$3
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.heic "$out"/*.avif "$out"/*.jpg
quiet() { "$@" >"$out/log.txt" 2>&1 || { cat "$out/log.txt"; exit 1; }; }

# A gradient with a green block in the top left corner and a dull red one
# near the bottom right: any turn or mirror shows.
"$convert" -size 160x128 gradient:'#c03030-#3030c0' \
    \( -size 40x32 xc:'#30c030' \) -geometry +0+0 -composite \
    \( -size 20x16 xc:'#b45050' \) -geometry +120+96 -composite -depth 8 "$out/base.png"
"$convert" -size 160x128 gradient:'#ff8000-#0080ff' \( -size 160x128 gradient:white-black \) \
    -alpha off -compose copy_opacity -composite -depth 8 "$out/alpha.png"
"$convert" "$out/base.png" -quality 95 "$out/base.jpg"
quiet "$exiftool" -q -overwrite_original -DateTimeOriginal='2023:07:14 18:30:05' -Make=Apple \
    -Model='iPhone 12' "$out/base.jpg"

quiet heif-enc -q 95 -o "$out/photo.heic" "$out/base.png"
quiet heif-enc -q 95 -t 40 -o "$out/thumb.heic" "$out/base.jpg"
quiet avifenc "$out/base.png" "$out/photo.avif"
quiet avifenc --irot 1 "$out/base.png" "$out/irot.avif"
quiet avifenc --imir 1 "$out/base.png" "$out/imir.avif"
quiet avifenc -d 10 "$out/base.png" "$out/deep.avif"
quiet avifenc --grid 2x2 "$out/base.png" "$out/grid.avif"
quiet avifenc --cicp 12/13/6 "$out/base.png" "$out/p3.avif"
quiet avifenc "$out/alpha.png" "$out/alpha.avif"

quiet heif-convert "$out/photo.heic" "$out/photo_heic_ref.png"
for name in photo irot imir deep grid; do
    quiet avifdec -d 8 "$out/$name.avif" "$out/${name}_ref.png"
done
# irot 1 turns a quarter anticlockwise; imir 1 mirrors left to right.
"$convert" "$out/irot_ref.png" -rotate -90 "$out/irot_ref.png"
"$convert" "$out/imir_ref.png" -flop "$out/imir_ref.png"
quiet avifdec -d 8 "$out/alpha.avif" "$out/alpha_ref.png"
"$convert" "$out/alpha_ref.png" -background black -flatten -depth 8 "$out/alpha_ref.png"
touch "$out/made.txt"
