#!/usr/bin/env bash
# How well quelvane-host keeps the picture through an identity render
# (whole-frame crop, no zoom, --crf 0: lossless H.264), once and three times
# in a row (a copy of a copy of a copy), against swscale's round trip through
# RGB and back done by the ffmpeg command with the clip's own matrix and
# range, on the same clips in the same run. Prints PSNR (dB) of the Y, U and
# V planes against the source clip; higher is better.
#
#   bash bench/generations.sh [BUILD_DIR] [SECONDS]
#
# Clips: a colour test pattern at 1280x720 tagged BT.709 (saturated colours:
# much of it lies just outside the RGB cube after H.264, and is clipped in
# the plug-in's 8-bit pixels), the same at 720x480 untagged (BT.601, what
# both sides take for SD), and a fractal at 1280x720 (BT.709, smooth colour).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-2}
host=$build/bin/quelvane-host
prefs_tool=$build/bin/quelvane-prefs
[[ -x $host && -x $prefs_tool ]] || { echo "build first: $host and $prefs_tool are missing" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/prefs
mkdir -p "$XDG_CONFIG_HOME"
"$prefs_tool" --crop 0,0,1,1 --zoom 0,0

psnr() {  # distorted, reference -> "y u v"
  ffmpeg -i "$1" -i "$2" -lavfi psnr -f null - 2>&1 |
    sed -n 's/.*PSNR y:\([0-9.inf]*\) u:\([0-9.inf]*\) v:\([0-9.inf]*\).*/\1 \2 \3/p'
}

row() {  # label, "y u v"
  read -r y u v <<<"$2"
  printf '  %-34s Y %6.2f   U %6.2f   V %6.2f\n' "$1" "$y" "$u" "$v"
}

clip() {  # name, lavfi source, size, matrix (bt709/bt601), tag (1/0)
  local name=$1 src=$2 size=$3 matrix=$4 tag=$5
  local tags=()
  [[ $tag == 1 ]] && tags=(-colorspace "$matrix" -color_primaries "$matrix" -color_trc "$matrix" -color_range tv)
  [[ $matrix == bt601 && $tag == 1 ]] && tags=(-colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m)
  ffmpeg -v error -f lavfi -i "$src=size=$size:rate=30" -t "$seconds" \
    -vf "scale=out_color_matrix=$matrix:out_range=tv" -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p \
    "${tags[@]}" "$work/$name.mp4"
  echo "$name ($size, $matrix$([[ $tag == 1 ]] && echo ", tagged" || echo ", untagged")):"
  cp "$work/$name.mp4" "$work/g0.mp4"
  for g in 1 2 3; do
    "$host" -q render --crf 0 --preset ultrafast "$work/g$((g - 1)).mp4" "$work/g$g.mp4"
  done
  row "quelvane-host, once" "$(psnr "$work/g1.mp4" "$work/$name.mp4")"
  row "quelvane-host, three times" "$(psnr "$work/g3.mp4" "$work/$name.mp4")"
  local m="in_color_matrix=$matrix:out_color_matrix=$matrix:in_range=tv:out_range=tv"
  cp "$work/$name.mp4" "$work/s0.mp4"
  for g in 1 2 3; do
    ffmpeg -v error -i "$work/s$((g - 1)).mp4" -vf "scale=$m,format=rgb24,scale=$m,format=yuv420p" \
      -c:v libx264 -preset ultrafast -crf 0 "$work/s$g.mp4"
  done
  row "swscale through RGB, once" "$(psnr "$work/s1.mp4" "$work/$name.mp4")"
  row "swscale through RGB, three times" "$(psnr "$work/s3.mp4" "$work/$name.mp4")"
  rm -f "$work"/g?.mp4 "$work"/s?.mp4
}

clip pattern-hd testsrc2 1280x720 bt709 1
clip pattern-sd testsrc2 720x480 bt601 0
clip fractal-hd mandelbrot 1280x720 bt709 1
