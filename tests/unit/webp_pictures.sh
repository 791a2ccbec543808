#!/bin/sh
# Writes the WebP pictures and AVIF sequences the WebP test decodes, made
# by their formats' own tools, and what the reference decoders make of them:
# dwebp's and avifdec's pixels as PAM files, the frames an animation was
# made from laid over black, and webpmux's and avifdec's account of the
# animations.
# webp_pictures.sh CONVERT EXIFTOOL PROFILE FOLDER
set -eu
convert=$1 exiftool=$2 profile=$3 out=$4
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.jpg "$out"/*.webp "$out"/*.avif "$out"/*.pam "$out"/*.txt
cd "$out"
"$convert" -size 96x64 gradient:'#d02040'-'#30a0e0' -fill '#f0e020' -draw 'circle 30,30 30,12' \
    -fill '#104010' -draw 'rectangle 56,8 88,56' base.png
"$convert" base.png \( -size 96x64 gradient:white-'#202020' \) -alpha off -compose copy_opacity -composite \
    alpha.png
# A profile that is not sRGB, assigned without converting the pixels.
"$convert" base.png -profile "$profile" profiled.png
"$convert" base.png -quality 95 photo.jpg
"$exiftool" -q -m -overwrite_original -Make=Canon -Model='Canon EOS 5D' -DateTimeOriginal='2023:07:14 09:30:05' \
    photo.jpg

cwebp -quiet -q 80 base.png -o lossy.webp
cwebp -quiet -lossless -exact alpha.png -o alpha.webp
cwebp -quiet -q 80 alpha.png -o lossyalpha.webp
cwebp -quiet -lossless -metadata icc profiled.png -o profiled.webp
cwebp -quiet -q 80 -metadata exif photo.jpg -o exif.webp
for name in lossy alpha lossyalpha profiled; do
    dwebp -quiet -pam "$name.webp" -o "$name.pam"
done

# Frames chosen so that the encoder writes sub-frames with and without
# blending and a frame disposed to the background.
"$convert" -size 64x48 xc:'#2060c0' -fill '#e0c020' -draw 'rectangle 8,8 40,30' frame1.png
"$convert" frame1.png -fill '#20c040' -draw 'rectangle 30,20 50,40' frame2.png
"$convert" frame2.png -alpha set -region 16x16+4+4 -alpha transparent +region frame3.png
"$convert" -size 64x48 xc:none -fill '#e02020' -draw 'rectangle 10,10 22,22' \
    -fill '#e0202080' -draw 'rectangle 30,4 60,12' frame4.png
"$convert" -size 64x48 xc:none -fill '#e02020' -draw 'rectangle 40,20 52,32' frame5.png
"$convert" -size 64x48 xc:none -fill '#2020e0' -draw 'rectangle 20,30 32,42' frame6.png
img2webp -loop 3 -lossless -d 100 frame1.png -d 250 frame2.png -d 70 frame3.png -d 500 frame4.png \
    -d 40 frame5.png -d 60 frame6.png -o anim.webp >/dev/null
webpmux -info anim.webp > anim.txt
for case in ' background ' ' yes ' ' no '; do
    grep -q -- "$case" anim.txt || { echo "webp_pictures.sh: no frame with$case in anim.webp" >&2; exit 1; }
done
for i in 1 2 3 4 5 6; do
    "$convert" "frame$i.png" -background black -alpha remove -alpha off -depth 8 "frame$i.pam"
done

# AVIF sequences of three frames: opaque in 8 bits 4:2:0 in full range, and
# in 10 bits 4:4:4 in limited range with BT.709's matrix and Display P3's
# primaries; and with alpha.
# Their references are kept at 16 bits: avifdec's own reduction of 10-bit
# limited range to 8 bits is off by several levels, and colours converted
# from 8 bits stray near black.
for i in 1 2 3; do
    "$convert" "frame$i.png" -background black -alpha remove -alpha off "PNG24:opaque$i.png"
done
sequence() {
    name=$1 first=$2 second=$3 third=$4
    shift 4
    avifenc -s 10 "$@" --fps 10 "$first" --duration 3 "$second" --duration 2 "$third" "$name.avif" >/dev/null
    avifdec --info "$name.avif" > "$name.txt"
    for i in 0 1 2; do
        avifdec -u nearest -d 16 --index $i "$name.avif" "$name-$i.png" >/dev/null
        "$convert" "$name-$i.png" "$name-$i.pam"
    done
}
sequence seq420 opaque1.png opaque2.png opaque3.png -y 420
sequence seq444 opaque1.png opaque2.png opaque3.png -y 444 -d 10 -r limited --cicp 12/13/1
sequence seqalpha frame4.png frame5.png frame3.png -y 444
