#!/usr/bin/env bash
# Turns a 32x32 PNG into the icon's text grid (the form of
# resources/icon.txt): each pixel mapped onto the standard Windows 16
# colours with ImageMagick's -remap, and transparent where it is less than
# half opaque.
#
#   scripts/png-icon.sh PICTURE.png GRID.txt
#
# Prints one line on standard output when a colour had to change to fit the
# palette; fails, saying why on standard error, for a picture that cannot be
# read or is not 32 by 32.
set -euo pipefail

in=$1
out=$2
size=$(identify -format '%wx%h' "$in[0]" 2>/dev/null) || { echo "cannot read $in as a picture" >&2; exit 1; }
[ "$size" = 32x32 ] || { echo "$in is $size pixels, not 32x32" >&2; exit 1; }

palette=(000000 800000 008000 808000 000080 800080 008080 C0C0C0
         808080 FF0000 00FF00 FFFF00 0000FF FF00FF 00FFFF FFFFFF)
map=$(mktemp --suffix=.png)
trap 'rm -f "$map"' EXIT
convert $(printf 'xc:#%s ' "${palette[@]}") +append "$map"

# "x,y: (...)  #RRGGBBAA  ..." for every pixel, before and after.
pixels() { convert "$in[0]" -alpha on "$@" -depth 8 txt:- | sed -n 's/^\([0-9]*\),\([0-9]*\):.*#\([0-9A-Fa-f]\{8\}\).*/\1 \2 \3/p'; }
paste -d' ' <(pixels) <(pixels +dither -remap "$map") | awk -v pal="${palette[*]}" -v out="$out" '
    BEGIN { n = split(pal, p, " "); for (i = 1; i <= n; i++) index_of[toupper(p[i])] = sprintf("%X", i - 1) }
    {
        x = $1; y = $2; before = toupper($3); after = toupper($6)
        if (substr(before, 7, 2) < "80") { c = "." }   # hex digits in upper case compare as numbers
        else {
            c = index_of[substr(after, 1, 6)]
            if (c == "") { print "a pixel has no palette colour" > "/dev/stderr"; exit 1 }
            if (substr(before, 1, 6) != substr(after, 1, 6)) changed++
        }
        grid[y, x] = c
    }
    END {
        printf "# made from a PNG by scripts/png-icon.sh\n" > out
        for (y = 0; y < 32; y++) { row = ""; for (x = 0; x < 32; x++) row = row grid[y, x]; print row > out }
        if (changed) printf "%d pixels changed colour to fit the standard 16 colours\n", changed
    }'
