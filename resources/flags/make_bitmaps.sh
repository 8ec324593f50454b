#!/usr/bin/env bash
# Regenerates the flag bitmaps of TOLVEX.DLL and tolvex.rc from the picture
# names of a country profile. Run by hand after the shipped profile gains or
# loses a picture name; the build only compiles what this leaves here, so it
# needs neither npm nor the SVG tools.
#
#   resources/flags/make_bitmaps.sh [profile.ini]   (default: profile/TOLVEX.INI)
#
# Needs npm, rsvg-convert (librsvg2-bin) and ImageMagick's convert. The flag
# SVGs come from the npm package flag-icons (MIT, notice kept beside the
# bitmaps as LICENSE-flag-icons); "unkn" is drawn from unkn.svg here.
set -euo pipefail

FLAG_ICONS=flag-icons@7.5.0
WIDTH=48
HEIGHT=32

here=$(cd "$(dirname "$0")" && pwd)
profile=${1:-$here/../../profile/TOLVEX.INI}
[ -f "$profile" ] || { echo "no profile at $profile" >&2; exit 1; }

# Picture names: the second comma-separated field of each value in section
# [tolvx], split as the program splits it: blanks after the comma are
# skipped, blanks before the next comma stay part of the name (and make it a
# name no bitmap can have, which the check below reports). Section names
# compare without regard to case; ';' starts a comment line.
picture_names() {
    tr -d '\r' < "$1" | awk '
        /^[ \t]*\[/ { s = tolower($0); gsub(/[ \t\[\]]/, "", s); in_list = (s == "tolvx"); next }
        !in_list || /^[ \t]*;/ || index($0, "=") == 0 { next }
        {
            v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v)
            if (split(v, field, ",") < 2 || field[1] == "") next
            p = field[2]; sub(/^[ \t]+/, "", p)
            if (p != "") print p
        }' | sort -u
}

mapfile -t names < <(picture_names "$profile")
[ ${#names[@]} -gt 0 ] || { echo "no picture names in $profile" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "$FLAG_ICONS" > /dev/null && tar xzf flag-icons-*.tgz)
svgs=$work/package/flags/4x3

# 24-bit bottom-up BMP3 of WIDTH x HEIGHT; transparent parts go white, as the
# bitmap has no alpha channel to keep them in.
rasterise() { # svg, bmp
    rsvg-convert -w "$WIDTH" -h "$HEIGHT" "$1" -o "$work/flag.png"
    convert "$work/flag.png" -background white -alpha remove -alpha off \
        -type truecolor "BMP3:$2"
}

missing=()
for name in "${names[@]}"; do
    [[ $name =~ ^[a-z][a-z0-9_]*$ ]] || { echo "bad picture name '$name'" >&2; exit 1; }
    [ "$name" = unkn ] && continue
    [ -f "$svgs/$name.svg" ] || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] || { echo "flag-icons has no picture for: ${missing[*]}" >&2; exit 1; }

rm -f "$here"/*.bmp
for name in "${names[@]}"; do
    [ "$name" = unkn ] || rasterise "$svgs/$name.svg" "$here/$name.bmp"
done
rasterise "$here/unkn.svg" "$here/unkn.bmp"
cp "$work/package/LICENSE" "$here/LICENSE-flag-icons"

{
    echo "// Flag pictures of TOLVEX.DLL, one bitmap per picture name of the profile."
    echo "// Made by make_bitmaps.sh; edit the profile and rerun it instead of this file."
    echo "// The resource compiler stores names upper-case and LoadBitmapA upper-cases"
    echo "// the name it looks for, so the lower-case profile names find these."
    for name in "${names[@]}" unkn; do
        echo "$name BITMAP \"$name.bmp\""
    done | sort -u
} > "$here/tolvex.rc"

echo "made $(ls "$here"/*.bmp | wc -l) bitmaps from $profile"
