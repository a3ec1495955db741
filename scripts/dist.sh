#!/usr/bin/env bash
# `make dist`: the installer (NSIS), the portable zip and SHA256SUMS of both, in dist/ (or the
# folder given), from the Windows build. The version is the version resource's "FileVersion"
# (res/qrfolder.rc), which "About" shows. With SIGN_PFX (and SIGN_PASSWORD_FILE) every program
# file and the installer are signed with osslsigncode; without, they are left unsigned.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${1:-dist}")
bin=$root/build/windows/bin
files=(qrfolder.exe qf.dll shellext.dll qrfolder.chm qrfolder.exe.debug qf.dll.debug shellext.dll.debug)

version=$(sed -nE 's/^ *VALUE "FileVersion", "([0-9.]+)".*/\1/p' res/qrfolder.rc)
numeric=$(sed -nE 's/^FILEVERSION ([0-9, ]+).*/\1/p' res/qrfolder.rc | tr -d ' ')
expected=$(awk -F. '{ printf "%d,%d,%d,%d", $1, $2, $3, $4 }' <<<"$version")
if [ -z "$version" ] || [ "$numeric" != "$expected" ]; then
  echo "dist: the version resource disagrees with itself (FILEVERSION $numeric, FileVersion $version)" >&2
  exit 1
fi
for f in "${files[@]}"; do
  [ -f "$bin/$f" ] || { echo "dist: $bin/$f is missing: build first (make windows)" >&2; exit 1; }
done

stage=$root/build/dist-stage
rm -rf "$stage"
mkdir -p "$stage" "$out"
for f in "${files[@]}"; do cp "$bin/$f" "$stage/"; done

sign() {
  local file=$1
  osslsigncode sign -pkcs12 "$SIGN_PFX" ${SIGN_PASSWORD_FILE:+-readpass "$SIGN_PASSWORD_FILE"} \
    -n "Quillrook Folder" -h sha256 -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
}
if [ -n "${SIGN_PFX:-}" ]; then
  for f in qrfolder.exe qf.dll shellext.dll; do sign "$stage/$f"; done
else
  echo "dist: no SIGN_PFX given: the files are left unsigned"
fi

setup=$out/quillrook-folder-$version-setup.exe
portable=$out/quillrook-folder-$version-portable.zip
makensis -V2 -NOCD -DVERSION="$version" -DBIN="$stage" -DROOT="$root" -DOUTFILE="$setup" \
  installer/quillrook-folder.nsi
[ -n "${SIGN_PFX:-}" ] && sign "$setup"
rm -f "$portable"
(cd "$stage" && zip -q -X -9 "$portable" "${files[@]}")
(cd "$out" && sha256sum "$(basename "$setup")" "$(basename "$portable")" >SHA256SUMS)

echo "dist: $setup"
echo "dist: $portable"
echo "dist: $out/SHA256SUMS"
sed 's/^/  /' "$out/SHA256SUMS"
