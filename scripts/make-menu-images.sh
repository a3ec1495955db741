#!/usr/bin/env bash
# Makes res/menu_images_<size>.bmp for the sizes 16, 20, 24, 32, 40 and 48: the folder menu's 20
# images of that many pixels square side by side (20*size x size, 32 bits with straight alpha),
# from the Tango icon theme (public domain, Debian package tango-icon-theme) plus small badges
# drawn here. A menu shown at 100 % scaling takes the 16 pixel strip, at 150 % the 24 pixel one,
# and so on. The strips are committed; run this only to change the artwork (needs ImageMagick,
# rsvg-convert and tango-icon-theme, all in scripts/install-deps.sh).
# Index roles are fixed by the favourites store: 0 folder, 1 pictures, 2 music, 5 computer
# (submenu header), 9 drive, 12 documents, 13 to 19 the menu commands; the rest are folder
# variants a user may pick in the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
tango=/usr/share/icons/Tango
[ -d "$tango/scalable" ] || { echo "make-menu-images: tango-icon-theme is not installed" >&2; exit 1; }
command -v rsvg-convert >/dev/null || { echo "make-menu-images: rsvg-convert is not installed" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# An icon of the theme at $size pixels: the theme's own hand-drawn picture where it has one of
# exactly that size (16, 24 and 32 are drawn pixel by pixel and are sharper than any scaling),
# otherwise its scalable source rendered at that size.
icon() {  # theme-name output [pixels]
  local px=${3:-$size}
  if [ -f "$tango/${px}x${px}/$1.png" ]; then
    cp "$tango/${px}x${px}/$1.png" "$2"
  else
    rsvg-convert -w "$px" -h "$px" "$tango/scalable/$1.svg" -o "$2"
  fi
}

# A folder with a small picture of its content in the lower right corner, cut out by a white
# rim so that it stays readable on the blue folder. The emblem takes 11/16 of the side. At 16
# pixels it is shrunk from the 22 pixel picture, which keeps more detail than the 16 pixel one;
# at the other sizes it is rendered from the scalable source at its own size.
with_emblem() {  # name emblem [brightness,saturation]
  local side=$(( (size * 11 + 8) / 16 ))
  local at=+$((size - side))+$((size - side))
  if [ "$size" = 16 ]; then
    convert "$tango/22x22/$2.png" -filter Lanczos -resize ${side}x${side} "$tmp/emblem-raw.png"
  else
    rsvg-convert -w $side -h $side "$tango/scalable/$2.svg" -o "$tmp/emblem-raw.png"
  fi
  convert "$tmp/emblem-raw.png" -modulate "${3:-100,100}" "$tmp/emblem.png"
  convert "$tmp/emblem.png" -alpha extract -morphology Dilate Disk:$(( (size + 8) / 16 )) -threshold 20% \
    "$tmp/rim-mask.png"
  convert -size ${side}x${side} xc:white "$tmp/rim-mask.png" -alpha off -compose CopyOpacity -composite \
    "$tmp/rim.png"
  convert "$tmp/folder.png" "$tmp/rim.png" -geometry $at -composite "$tmp/emblem.png" -geometry $at -composite \
    "$tmp/$1.png"
}

# A folder with a round badge in the lower right corner: red minus (remove), green plus (add).
# The badge is laid out on the 16 pixel grid and scaled with the size.
with_badge() {  # name colour dark-edge sign(minus|plus)
  local k
  k=$(awk "BEGIN { print $size / 16 }")
  at() { awk "BEGIN { printf \"%g\", $1 * $k }"; }
  local sign="line $(at 10),$(at 12) $(at 14),$(at 12)"
  [ "$4" = plus ] && sign="$sign line $(at 12),$(at 10) $(at 12),$(at 14)"
  convert "$tmp/folder.png" \
    -fill "$2" -stroke "$3" -strokewidth "$(at 1)" -draw "circle $(at 12),$(at 12) $(at 12),$(at 7.5)" \
    -stroke white -strokewidth "$(at 1.6)" -draw "$sign" "$tmp/$1.png"
}

for size in 16 20 24 32 40 48; do
  rm -f "$tmp"/[0-9][0-9].png
  icon places/folder "$tmp/folder.png"
  cp "$tmp/folder.png" "$tmp/00.png"
  with_emblem 01 mimetypes/image-x-generic
  with_emblem 02 mimetypes/audio-x-generic 65,140
  icon places/folder-remote "$tmp/03.png"
  icon places/folder-saved-search "$tmp/04.png"
  icon devices/computer "$tmp/05.png"
  icon places/user-home "$tmp/06.png"
  icon places/user-desktop "$tmp/07.png"
  icon status/folder-open "$tmp/08.png"
  icon devices/drive-harddisk "$tmp/09.png"
  with_emblem 10 mimetypes/video-x-generic
  with_emblem 11 emblems/emblem-favorite
  with_emblem 12 mimetypes/x-office-document
  with_badge 13 '#d42a2a' '#8f1414' minus
  with_badge 14 '#4e9a06' '#2e6103' plus
  icon categories/preferences-system "$tmp/15.png"
  icon actions/document-save "$tmp/16.png"
  icon actions/document-open "$tmp/17.png"
  icon apps/help-browser "$tmp/18.png"
  icon apps/internet-web-browser "$tmp/19.png"

  # Every piece must be exactly size x size with an alpha channel before the pieces are joined.
  for f in "$tmp"/[0-9][0-9].png; do
    convert "$f" -background none -gravity center -extent ${size}x${size} -alpha set "$f"
  done
  convert -background none "$tmp"/[0-9][0-9].png +append -alpha set "$tmp/strip.png"
  # A BITMAPV4 header with an alpha mask: the resource compiler stores it as it is, and the
  # program reads the pixels itself (menu_images.cpp), premultiplying them for the menus.
  out=res/menu_images_$size.bmp
  convert "$tmp/strip.png" -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$out"
  echo "make-menu-images: wrote $out"
done
