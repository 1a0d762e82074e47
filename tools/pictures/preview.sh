#!/usr/bin/env bash
# preview.sh PICTURES_DIR OUT.png
#
# Lays the pictures out roughly as the game shows them, for a quick look after
# changing make-pictures: the background stretched to the 711 x 670 field,
# sprites with their bottom-left colour keyed out, a few sample board labels
# in black 11 px text, and below that every sprite at twice its size.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 PICTURES_DIR OUT.png" >&2; exit 2; }
dir=$1
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for f in "$dir"/*.bmp; do
  name=$(basename "$f" .bmp)
  [ "$name" = bgd ] && continue
  bottom=$(( $(identify -format %h "$f") - 1 ))
  key=$(convert "$f" -format "%[pixel:p{0,$bottom}]" info:)
  convert "$f" -transparent "$key" "$work/$name.png"
done

field=(convert "$dir/bgd.bmp" -resize '711x670!')
x=26
for target in bleft bdown bup bright; do
  field+=("$work/$target.png" -geometry "+$x+30" -composite)
  x=$((x + 79))
done
field+=("$work/left.png" -geometry +26+150 -composite "$work/down.png" -geometry +105+260 -composite
        "$work/up.png" -geometry +184+200 -composite "$work/right.png" -geometry +263+330 -composite
        \( "$work/great.png" -resize 50% \) -geometry +74+420 -composite
        -font DejaVu-Sans -pointsize 11 -fill black
        -annotate +460+60 'SCORE   0012345' -annotate +460+80 'COMBO   42'
        -annotate +460+100 'GREAT 10   GOOD 3   BAD 1   MISS 0' "$work/field.png")
"${field[@]}"

convert -background '#202030' \
  \( "$work/bleft.png" "$work/bup.png" "$work/bdown.png" "$work/bright.png" \
     "$work/left.png" "$work/up.png" "$work/down.png" "$work/right.png" +append -scale 200% \) \
  \( "$work/great.png" "$work/good.png" +append \) \
  \( "$work/bad.png" "$work/miss.png" +append \) \
  \( "$dir/icon.png" \) -gravity west -append -alpha remove +repage "$work/sprites.png"

convert -background '#202030' "$work/field.png" "$work/sprites.png" -gravity north +append -alpha remove +repage "$out"
echo "wrote $out"
