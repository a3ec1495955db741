#!/usr/bin/env bash
# Draws the application icon (a folder with a quill) at 16, 24, 32 and 48 pixels into
# res/qrfolder.ico. The icon is committed; run this only to change it (needs ImageMagick).
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none \
  -fill '#c98a12' -draw 'roundrectangle 16,56 120,100 14,14' \
  -fill '#e8a317' -draw 'roundrectangle 16,76 240,232 18,18' \
  -fill '#f6c445' -draw 'roundrectangle 16,104 240,232 18,18' \
  -stroke '#2d3a6b' -strokewidth 14 -fill none -draw 'line 92,214 214,40' \
  -stroke none -fill '#3f51a3' -draw 'polygon 214,40 236,28 226,86 150,150 144,126' \
  -fill '#6f7fd0' -draw 'polygon 214,40 226,86 176,118' \
  "$tmp/icon.png"
for s in 16 24 32 48; do convert "$tmp/icon.png" -resize ${s}x${s} "$tmp/icon-$s.png"; done
convert "$tmp"/icon-16.png "$tmp"/icon-24.png "$tmp"/icon-32.png "$tmp"/icon-48.png res/qrfolder.ico
