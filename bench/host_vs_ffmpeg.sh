#!/usr/bin/env bash
# Times quelvane-host against the ffmpeg command doing the equivalent crop,
# scale (and turn) with the same encoder settings, on the same clip in the
# same run, and prints both times and their ratio (host / ffmpeg: below 1.0
# means the host is faster). Then the same with no encoding (a null output),
# where the filter path dominates. Ratios, not lone times, are what to quote:
# the machine is shared.
#
#   bash bench/host_vs_ffmpeg.sh [BUILD_DIR] [SECONDS] [REPEATS]
#
# Environment: PRESETS (default "medium ultrafast"). Each row gives wall
# times and their ratio, and CPU times (user + system, all threads) and
# theirs: on this two-core machine CPU time is the steadier figure when
# something else runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
repeats=${3:-1}
host=$build/bin/quelvane-host
prefs_tool=$build/bin/quelvane-prefs
[[ -x $host && -x $prefs_tool ]] || { echo "build first: $host and $prefs_tool are missing" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/prefs
mkdir -p "$XDG_CONFIG_HOME"

# Encoder presets to compare with: medium, where the encoder is most of the
# work on both sides, and ultrafast, where the picture path shows.
presets=${PRESETS:-"medium ultrafast"}
crf=18
clip=$work/source.mp4
echo "Making a 1920x1080, ${seconds} s H.264 clip with sound..." >&2
ffmpeg -v error -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=$seconds" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=$seconds" \
  -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac -shortest "$clip"

# "wall cpu" seconds of a command (the run with the best wall time of
# $repeats); cpu is user + system time of all its threads.
best() {
  local best_w= best_c=
  for ((i = 0; i < repeats; i++)); do
    local t
    t=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 ) || { echo "failed: $*" >&2; exit 1; }
    local w c
    w=$(awk -v t="$t" 'BEGIN { split(t, a, " "); print a[1] }')
    c=$(awk -v t="$t" 'BEGIN { split(t, a, " "); print a[2] + a[3] }')
    if [[ -z $best_w ]] || awk -v t="$w" -v b="$best_w" 'BEGIN { exit !(t < b) }'; then best_w=$w best_c=$c; fi
  done
  echo "$best_w $best_c"
}

row() {  # name, host "wall cpu", ffmpeg "wall cpu"
  local hw hc fw fc
  read -r hw hc <<<"$2"
  read -r fw fc <<<"$3"
  printf '%-30s host %6.2f s (cpu %6.2f)   ffmpeg %6.2f s (cpu %6.2f)   ratio %.2f (cpu %.2f)\n' "$1" "$hw" "$hc" "$fw" \
    "$fc" "$(awk -v h="$hw" -v f="$fw" 'BEGIN { print h / f }')" "$(awk -v h="$hc" -v f="$fc" 'BEGIN { print h / f }')"
}

# Zoom 1.5 about the centre: ffmpeg crops the centre 1/1.5 and scales it back up.
zoom_vf="crop=iw/1.5:ih/1.5,scale=1920:1080:flags=bicubic"
# Zoom 1.5 and a turn of 5/100 of a full turn (18 degrees) over white.
turn_vf="scale=2880:1620:flags=bicubic,rotate=PI/10:ow=1920:oh=1080:c=white"

for preset in $presets; do
  enc=(-c:v libx264 -preset "$preset" -crf $crf -pix_fmt yuv420p -c:a aac)
  echo "Encoding with libx264 -preset $preset -crf $crf, AAC sound (the same settings on both sides):"
  "$prefs_tool" --crop 0,0,1,1 --zoom 500,500
  h=$(best "$host" -q render --preset "$preset" --crf $crf "$clip" "$work/host-zoom.mp4")
  f=$(best ffmpeg -v error -y -i "$clip" -vf "$zoom_vf" "${enc[@]}" "$work/ffmpeg-zoom.mp4")
  row "zoom, encoded" "$h" "$f"
  "$prefs_tool" --crop 0,0,1,1 --zoom 500,500 --turn 5
  h2=$(best "$host" -q render --preset "$preset" --crf $crf "$clip" "$work/host-turn.mp4")
  f2=$(best ffmpeg -v error -y -i "$clip" -vf "$turn_vf" "${enc[@]}" "$work/ffmpeg-turn.mp4")
  row "zoom and turn, encoded" "$h2" "$f2"
done

echo "Null output (decode, filter, convert to yuv420p; nothing encoded):"
"$prefs_tool" --crop 0,0,1,1 --zoom 500,500
h3=$(best "$host" -q render "$clip" "$work/host.null")
f3=$(best ffmpeg -v error -y -i "$clip" -vf "$zoom_vf,format=yuv420p" -an -f null -)
row "zoom, null output" "$h3" "$f3"
"$prefs_tool" --crop 0,0,1,1 --zoom 500,500 --turn 5
h4=$(best "$host" -q render "$clip" "$work/host.null")
f4=$(best ffmpeg -v error -y -i "$clip" -vf "$turn_vf,format=yuv420p" -an -f null -)
row "zoom and turn, null output" "$h4" "$f4"
