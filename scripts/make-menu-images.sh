#!/usr/bin/env bash
# Makes res/menu_images.bmp: the folder menu's 20 images of 16x16 pixels side by side (320x16,
# 32 bits with straight alpha), from the Tango icon theme (public domain, Debian package
# tango-icon-theme) plus small badges drawn here. The strip is committed; run this only to
# change the artwork (needs ImageMagick and tango-icon-theme, both in scripts/install-deps.sh).
# Index roles are fixed by the favourites store: 0 folder, 1 pictures, 2 music, 5 computer
# (submenu header), 9 drive, 12 documents, 13 to 19 the menu commands; the rest are folder
# variants a user may pick in the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
tango=/usr/share/icons/Tango
[ -d "$tango/16x16" ] || { echo "make-menu-images: tango-icon-theme is not installed" >&2; exit 1; }
out=res/menu_images.bmp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

folder="$tango/16x16/places/folder.png"

# A folder with a small picture of its content in the lower right corner, cut out by a white
# rim so that it stays readable on the blue folder. The emblem is taken from the 22 pixel icon:
# shrinking the 16 pixel one would only blur it.
with_emblem() {  # name emblem [brightness,saturation]
  local size=11 at=+5+5
  convert "$tango/22x22/$2" -filter Lanczos -resize ${size}x${size} -modulate "${3:-100,100}" "$tmp/emblem.png"
  convert "$tmp/emblem.png" -alpha extract -morphology Dilate Disk:1 -threshold 20% "$tmp/rim-mask.png"
  convert -size ${size}x${size} xc:white "$tmp/rim-mask.png" -alpha off -compose CopyOpacity -composite \
    "$tmp/rim.png"
  convert "$folder" "$tmp/rim.png" -geometry $at -composite "$tmp/emblem.png" -geometry $at -composite \
    "$tmp/$1.png"
}

# A folder with a round badge in the lower right corner: red minus (remove), green plus (add).
with_badge() {  # name colour dark-edge sign(minus|plus)
  local sign='line 10,12 14,12'
  [ "$4" = plus ] && sign='line 10,12 14,12 line 12,10 12,14'
  convert "$folder" \
    -fill "$2" -stroke "$3" -strokewidth 1 -draw 'circle 12,12 12,7.5' \
    -stroke white -strokewidth 1.6 -draw "$sign" "$tmp/$1.png"
}

cp "$folder" "$tmp/00.png"
with_emblem 01 mimetypes/image-x-generic.png
with_emblem 02 mimetypes/audio-x-generic.png 65,140
cp "$tango/16x16/places/folder-remote.png" "$tmp/03.png"
cp "$tango/16x16/places/folder-saved-search.png" "$tmp/04.png"
cp "$tango/16x16/devices/computer.png" "$tmp/05.png"
cp "$tango/16x16/places/user-home.png" "$tmp/06.png"
cp "$tango/16x16/places/user-desktop.png" "$tmp/07.png"
cp "$tango/16x16/status/folder-open.png" "$tmp/08.png"
cp "$tango/16x16/devices/drive-harddisk.png" "$tmp/09.png"
with_emblem 10 mimetypes/video-x-generic.png
with_emblem 11 emblems/emblem-favorite.png
with_emblem 12 mimetypes/x-office-document.png
with_badge 13 '#d42a2a' '#8f1414' minus
with_badge 14 '#4e9a06' '#2e6103' plus
cp "$tango/16x16/categories/preferences-system.png" "$tmp/15.png"
cp "$tango/16x16/actions/document-save.png" "$tmp/16.png"
cp "$tango/16x16/actions/document-open.png" "$tmp/17.png"
cp "$tango/16x16/apps/help-browser.png" "$tmp/18.png"
cp "$tango/16x16/apps/internet-web-browser.png" "$tmp/19.png"

# Every piece must be exactly 16x16 with an alpha channel before the pieces are joined.
for f in "$tmp"/[0-9][0-9].png; do
  convert "$f" -background none -gravity center -extent 16x16 -alpha set "$f"
done
convert -background none "$tmp"/[0-9][0-9].png +append -alpha set "$tmp/strip.png"
# A BITMAPV4 header with an alpha mask: the resource compiler stores it as it is, and the program
# reads the pixels itself (menu_images.cpp), premultiplying them for the menus.
convert "$tmp/strip.png" -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$out"
echo "make-menu-images: wrote $out"
