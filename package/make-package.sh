#!/usr/bin/env bash
# Makes the release package from a built Lodestar.dll:
#   OUT/Lodestar/             Lodestar.dll, LodestarEng.lng, LodestarRus.lng,
#                             LodestarEng.hlf, LodestarRus.hlf, Lodestar.txt, Lodestar.lua
#   OUT/Lodestar-VERSION-x64.zip   that folder, to unpack into Far's Plugins folder
# usage: make-package.sh DLL OUT VERSION
set -euo pipefail
dll=$1 out=$2 version=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

rm -rf "$out/Lodestar" "$out/Lodestar-$version-x64.zip"
mkdir -p "$out/Lodestar"
# The very DLL the tests ran against, so what ships is what was tested.
cp "$dll" "$out/Lodestar/Lodestar.dll"
cp "$root"/lng/LodestarEng.lng "$root"/lng/LodestarRus.lng "$out/Lodestar/"
cp "$root"/lng/LodestarEng.hlf "$root"/lng/LodestarRus.hlf "$out/Lodestar/"
# Windows users read them in Notepad and the like, and edit the macros'
# keys there: CR LF line ends.
for name in Lodestar.txt Lodestar.lua; do
    sed 's/\r$//; s/$/\r/' "$root/package/$name" >"$out/Lodestar/$name"
done
# -X: no Unix owners or permissions, which mean nothing where it unpacks.
(cd "$out" && zip -qrX "Lodestar-$version-x64.zip" Lodestar)
