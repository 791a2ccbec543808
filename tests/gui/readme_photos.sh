#!/bin/sh
# Writes the photographs the walkthrough shows in the README's screenshots:
# a few of Debian's mate-backgrounds (GPL-2+, see README.md), scaled down to
# a camera's smaller size, with the EXIF a camera would have written, so
# that the picture page's status line has something to say. Writes nothing
# where the package is missing: the walkthrough then skips its photographs.
# readme_photos.sh CONVERT EXIFTOOL FOLDER
set -eu
convert=$1 exiftool=$2 out=$3
source=/usr/share/backgrounds/mate/nature
mkdir -p "$out"
rm -f "$out"/*.jpg
[ -d "$source" ] || exit 0
# name, file, then camera make and model, date taken, exposure, f-number,
# ISO and focal length for those that came without ("-": the photo keeps
# the EXIF its camera wrote).
while read -r name file make model taken exposure aperture iso focal; do
    [ -f "$source/$file" ] || continue
    "$convert" "$source/$file" -resize '1600x1600>' -quality 90 "$out/$name"
    [ "$make" = - ] && continue
    "$exiftool" -q -m -overwrite_original -Make="$(echo "$make" | tr _ ' ')" -Model="$(echo "$model" | tr _ ' ')" \
        -DateTimeOriginal="$(echo "$taken" | tr _ ' ')" -ExposureTime="$exposure" -FNumber="$aperture" \
        -EXIF:ISO="$iso" -FocalLength="$focal" "$out/$name"
done <<'EOF'
IMG_0412.jpg LadyBird.jpg Canon Canon_EOS_550D 2024:05:11_09:42:17 1/250 5.6 200 100
IMG_0418.jpg YellowFlower.jpg Canon Canon_EOS_550D 2024:05:11_10:05:51 1/500 8 100 60
IMG_1207.jpg Storm.jpg - - - - - - -
IMG_2163.jpg Blinds.jpg - - - - - - -
P1010031.jpg FreshFlower.jpg Panasonic DMC-GX80 2024:08:02_11:20:03 1/1000 4 200 42
P1010046.jpg TwoWings.jpg Panasonic DMC-GX80 2024:08:02_11:47:36 1/800 5.6 200 60
EOF
