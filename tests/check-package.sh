#!/usr/bin/env bash
# The release zip must unpack into Far's Plugins folder as one folder,
# Lodestar/, with exactly the plugin's files, and ship the DLL that was built
# and tested, byte for byte.
# usage: check-package.sh DLL VERSION [OUT]
# Without OUT the package is made in a scratch folder first.
set -euo pipefail
dll=$1 version=$2 out=${3:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ -z "$out" ]; then
    out=$scratch/dist
    bash "$root/package/make-package.sh" "$dll" "$out" "$version"
fi
zip=$out/Lodestar-$version-x64.zip
fail() { echo "check-package: $*"; exit 1; }
[ -f "$zip" ] || fail "no $zip"

entries=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
expected="Lodestar/ Lodestar/Lodestar.dll Lodestar/Lodestar.lua Lodestar/Lodestar.txt Lodestar/LodestarEng.hlf \
Lodestar/LodestarEng.lng Lodestar/LodestarRus.hlf Lodestar/LodestarRus.lng "
[ "$entries" = "$expected" ] || fail "the zip holds: $entries; expected: $expected"

unzip -q "$zip" -d "$scratch/unpacked"
cmp -s "$scratch/unpacked/Lodestar/Lodestar.dll" "$out/Lodestar/Lodestar.dll" ||
    fail "the DLL in the zip differs from $out/Lodestar/Lodestar.dll"
cmp -s "$out/Lodestar/Lodestar.dll" "$dll" || fail "$out/Lodestar/Lodestar.dll differs from the built $dll"
for name in LodestarEng.lng LodestarRus.lng LodestarEng.hlf LodestarRus.hlf; do
    cmp -s "$scratch/unpacked/Lodestar/$name" "$root/lng/$name" || fail "$name in the zip differs from lng/$name"
done
for name in Lodestar.txt Lodestar.lua; do
    if grep -q $'[^\r]$' "$scratch/unpacked/Lodestar/$name"; then
        fail "$name has lines without CR LF"
    fi
    [ "$(tr -d '\r' <"$scratch/unpacked/Lodestar/$name")" = "$(cat "$root/package/$name")" ] ||
        fail "$name in the zip differs from package/$name beyond its line ends"
done
echo "package: $entries"
