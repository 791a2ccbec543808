#!/bin/sh
# Writes the photos the metadata test reads, their EXIF set by exiftool as
# a camera would lay it out, and what exiftool reads back from them, one
# line a photo: name, upright size, date taken (the first kind present, with its own
# sub-second milliseconds and offset), then the fields of $format from Make
# on; "-" for a missing tag.
# exif_photos.sh CONVERT EXIFTOOL FOLDER
set -eu
convert=$1 exiftool=$2 out=$3
mkdir -p "$out"
rm -f "$out"/*.jpg "$out"/*.tif "$out"/*.png "$out/reference.txt"
"$convert" -size 64x48 gradient:red-blue "$out/base.jpg"
# The other formats carry EXIF of their own kind: a big-endian TIFF's own
# directories and a PNG's eXIf chunk.
"$convert" "$out/base.jpg" -define tiff:endian=msb "$out/base.tif"
"$convert" "$out/base.jpg" "$out/base.png"
write() {
    name=$1
    shift
    "$exiftool" -q -m -o "$out/$name" "$@" "$out/base.${name##*.}"
}
# Every tag, little-endian; each date kind different so that a reader
# taking the wrong one is caught.
every_tag() {
    write "$@" -DateTimeOriginal='2024:05:01 10:15:07' -SubSecTimeOriginal=123 \
        -OffsetTimeOriginal=+02:00 -CreateDate='2024:05:02 11:00:00' -SubSecTimeDigitized=9 \
        -OffsetTimeDigitized=+01:00 -ModifyDate='2025:01:01 00:00:00' -OffsetTime=-05:00 \
        -Make=Canon -Model='Canon PowerShot S5 IS' -LensModel='6.0-72.0 mm' -ExposureTime=1/1000 -FNumber=4 \
        -ISO=80 -FocalLength=6 -FocalLengthIn35mmFormat=36 -ExifIFD:Flash#=16 -GPSLatitude=48.8584 \
        -GPSLatitudeRef=N -GPSLongitude=2.2945 -GPSLongitudeRef=W -GPSAltitude=35.5 -GPSAltitudeRef#=1
}
every_tag all.jpg -ExifByteOrder=II
# Turned a quarter: its upright size is the stored one across.
every_tag all.tif -Orientation#=6
# Big-endian, no original date: the digitized one with its own parts;
# south and east, above sea level.
digitized() {
    write "$@" -ExifByteOrder=MM -CreateDate='2019:12:31 23:59:59' -SubSecTimeDigitized=5 \
        -OffsetTimeDigitized=-03:30 -ModifyDate='2020:02:02 02:02:02' -Make='NIKON CORPORATION' \
        -Model='NIKON D750' -ExposureTime=1/3 -FNumber=2.8 -ISO=6400 -FocalLength=50 -ExifIFD:Flash#=0 \
        -GPSLatitude=33.8568 -GPSLatitudeRef=S -GPSLongitude=151.2153 -GPSLongitudeRef=E -GPSAltitude=120 \
        -GPSAltitudeRef#=0
}
digitized digitized.jpg
digitized digitized.png
# Only the primary directory's date, and no exposure or position.
write modified.jpg -ExifByteOrder=MM -ModifyDate='2001:09:09 01:46:40' -SubSecTime=04 -OffsetTime=+09:00 \
    -Model='DSC-RX100'
format='$FileName|$ImageWidth|$ImageHeight|$Orientation#|$DateTimeOriginal|$SubSecTimeOriginal|$OffsetTimeOriginal|$CreateDate|$SubSecTimeDigitized|$OffsetTimeDigitized|$ModifyDate|$SubSecTime|$OffsetTime|$Make|$Model|$LensModel|$ExposureTime|$FNumber|$FocalLength|$ISO|$FocalLengthIn35mmFormat|$ExifIFD:Flash|$Composite:GPSLatitude|$Composite:GPSLongitude|$Composite:GPSAltitude'
"$exiftool" -q -n -f -p "$format" "$out/all.jpg" "$out/digitized.jpg" "$out/modified.jpg" "$out/all.tif" \
    "$out/digitized.png" | awk -F'|' -v OFS='|' '{
    size = $4 >= 5 && $4 <= 8 ? $3 "x" $2 : $2 "x" $3
    k = $5 != "-" ? 5 : $8 != "-" ? 8 : $11 != "-" ? 11 : 0
    ms = k && $(k + 1) != "-" ? substr($(k + 1) "00", 1, 3) : "-"
    line = $1 OFS size OFS (k ? $k : "-") OFS ms OFS (k ? $(k + 2) : "-")
    for (i = 14; i <= NF; ++i) line = line OFS $i
    print line
}' > "$out/reference.txt"
