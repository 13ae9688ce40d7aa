#!/bin/sh
# Renders the application's artwork (resources/artwork/*.svg) into the PNGs that ship in
# resources/images/: NAME.png at 1x, NAME@2x.png and NAME@3x.png. The PNGs are committed, so
# building needs no rasteriser; run this after changing a drawing. Needs rsvg-convert
# (Debian: librsvg2-bin).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
source_dir="$here/resources/artwork"
target_dir="$here/resources/images"
mkdir -p "$target_dir"
for drawing in "$source_dir"/*.svg; do
    name=$(basename "$drawing" .svg)
    width=$(sed -n 's/.*<svg[^>]* width="\([0-9]*\)".*/\1/p' "$drawing" | head -n 1)
    height=$(sed -n 's/.*<svg[^>]* height="\([0-9]*\)".*/\1/p' "$drawing" | head -n 1)
    for scale in 1 2 3; do
        suffix=""
        [ "$scale" -gt 1 ] && suffix="@${scale}x"
        rsvg-convert --width=$((width * scale)) --height=$((height * scale)) \
            --output="$target_dir/$name$suffix.png" "$drawing"
    done
done
