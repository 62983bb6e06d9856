#!/bin/sh
# Unpacks the download zip and checks what a Windows user gets: both programs (Windows executables),
# the add-on's zip with its package, the example key file, the text on using them and the manuals.
set -eu
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 -m zipfile -e "$zip" .
for exe in Posewright.exe Posewright-Keys.exe; do
    [ "$(head -c 2 "Posewright/$exe")" = MZ ] || { echo "dist: $exe is not a Windows executable"; exit 1; }
done
python3 -m zipfile -l Posewright/posewright_blender.zip | grep 'posewright_blender/__init__.py' >/dev/null ||
    { echo "dist: the add-on's zip holds no posewright_blender/__init__.py"; exit 1; }
grep -q 'Posewright-Keys.exe Walk.kf' Posewright/Posewright.txt || { echo "dist: no text on using the three"; exit 1; }
grep -q '^Rotations as Quaternions' Posewright/AnimationKeys.txt || { echo "dist: no example key file"; exit 1; }
for page in messages skeleton-and-batches posewright-keys blender-addon; do
    [ -s "Posewright/docs/$page.md" ] || { echo "dist: no manual docs/$page.md"; exit 1; }
done
[ "$(ls Posewright | wc -l)" -eq 7 ] || { echo "dist: unexpected files:"; ls Posewright; exit 1; }
echo "dist: $(basename "$zip") holds both programs, the add-on, the example key file, its text and the manuals"
