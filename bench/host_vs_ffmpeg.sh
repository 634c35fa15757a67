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
# Environment: PRESETS (default "medium ultrafast"); MEMORY=0 leaves out the
# peak-memory comparison at 3840 x 2160. Each row gives wall times and their
# ratio, and CPU times (user + system, all threads) and theirs: on this
# two-core machine CPU time is the steadier figure when something else runs.
#
# Below the zoom rows, the host's time is broken down by stage (from the
# host's QUELVANE_STAGE_TIMES report, CPU milliseconds a frame of the
# threads that run each stage; the waits in wall time), next to the decoding
# alone as ffmpeg does it in the same run (the decoder's own threads are in
# no stage of the host's).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
repeats=${3:-1}
host=$build/bin/quelvane-host
prefs_tool=$build/bin/quelvane-prefs
[[ -x $host && -x $prefs_tool ]] || { echo "build first: $host and $prefs_tool are missing" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "GNU time (/usr/bin/time, Debian package time) is needed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/prefs
mkdir -p "$XDG_CONFIG_HOME"

# Encoder presets to compare with: medium, where the encoder is most of the
# work on both sides, and ultrafast, where the picture path shows.
presets=${PRESETS:-"medium ultrafast"}
crf=18
fps=30
frames=$((seconds * fps))
clip=$work/source.mp4
echo "Making a 1920x1080, ${seconds} s H.264 clip with sound..." >&2
ffmpeg -v error -f lavfi -i "testsrc2=size=1920x1080:rate=$fps:duration=$seconds" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=$seconds" \
  -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac -shortest "$clip"

# "wall cpu peak-KB" of a command (the run with the best wall time of
# $repeats); cpu is user + system time of all its threads. The best run's
# standard error is kept in $work/last.err.
best() {
  local best_w= best_c= best_m=
  for ((i = 0; i < repeats; i++)); do
    /usr/bin/time -o "$work/time" -f '%e %U %S %M' "$@" >/dev/null 2>"$work/run.err" ||
      { echo "failed: $*" >&2; cat "$work/run.err" >&2; exit 1; }
    local w c m
    read -r w c m < <(awk '{ print $1, $2 + $3, $4 }' "$work/time")
    if [[ -z $best_w ]] || awk -v t="$w" -v b="$best_w" 'BEGIN { exit !(t < b) }'; then
      best_w=$w best_c=$c best_m=$m
      cp "$work/run.err" "$work/last.err"
    fi
  done
  echo "$best_w $best_c $best_m"
}

row() {  # name, host "wall cpu mem", ffmpeg "wall cpu mem"
  local hw hc hm fw fc fm
  read -r hw hc hm <<<"$2"
  read -r fw fc fm <<<"$3"
  printf '%-30s host %6.2f s (cpu %6.2f)   ffmpeg %6.2f s (cpu %6.2f)   ratio %.2f (cpu %.2f)\n' "$1" "$hw" "$hc" "$fw" \
    "$fc" "$(awk -v h="$hw" -v f="$fw" 'BEGIN { print h / f }')" "$(awk -v h="$hc" -v f="$fc" 'BEGIN { print h / f }')"
}

# The stage report of a host run ($work/host.err), per frame, with
# the host's CPU time ($1) and ffmpeg's decoding alone ($2, "wall cpu mem").
breakdown() {
  local hc=$1 dc
  read -r _ dc _ <<<"$2"
  awk -v frames="$frames" -v total="$hc" -v decode="$dc" '
    /^stage times: / && $3 != "stage" {
      name = substr($0, 14, 18); sub(/ +$/, "", name); cpu = $(NF - 1); wall = $NF
      if (name ~ /^wait/) printf "    %-26s %7.2f ms a frame (wall)\n", name, 1000 * wall / frames
      else { printf "    %-26s %7.2f ms a frame (cpu)\n", name, 1000 * cpu / frames; own += cpu }
    }
    END {
      printf "    %-26s %7.2f ms a frame (cpu, ffmpeg decoding alone)\n", "decoding threads", 1000 * decode / frames
      printf "    %-26s %7.2f ms a frame (cpu: total - stages - decoding: x264 threads)\n", "rest", 1000 * (total - own - decode) / frames
    }' "$work/host.err"
}

echo "Decoding alone (ffmpeg, the reference for the decoder's share):"
dec=$(best ffmpeg -v error -y -threads 0 -i "$clip" -an -f null -)
read -r dw dc _ <<<"$dec"
printf '%-30s ffmpeg %6.2f s (cpu %6.2f)\n' "decode only" "$dw" "$dc"

# Zoom 1.5 about the centre: ffmpeg crops the centre 1/1.5 and scales it back up.
zoom_vf="crop=iw/1.5:ih/1.5,scale=1920:1080:flags=bicubic"
# Zoom 1.5 and a turn of 5/100 of a full turn (18 degrees) over white.
turn_vf="scale=2880:1620:flags=bicubic,rotate=PI/10:ow=1920:oh=1080:c=white"
export QUELVANE_STAGE_TIMES=1

for preset in $presets; do
  enc=(-c:v libx264 -preset "$preset" -crf $crf -pix_fmt yuv420p -c:a aac)
  echo "Encoding with libx264 -preset $preset -crf $crf, AAC sound (the same settings on both sides):"
  "$prefs_tool" --crop 0,0,1,1 --zoom 500,500
  h=$(best "$host" -q render --preset "$preset" --crf $crf "$clip" "$work/host-zoom.mp4")
  cp "$work/last.err" "$work/host.err"
  f=$(best ffmpeg -v error -y -i "$clip" -vf "$zoom_vf" "${enc[@]}" "$work/ffmpeg-zoom.mp4")
  row "zoom, encoded" "$h" "$f"
  breakdown "$(awk '{ print $2 }' <<<"$h")" "$dec"
  "$prefs_tool" --crop 0,0,1,1 --zoom 500,500 --turn 5
  h2=$(best "$host" -q render --preset "$preset" --crf $crf "$clip" "$work/host-turn.mp4")
  f2=$(best ffmpeg -v error -y -i "$clip" -vf "$turn_vf" "${enc[@]}" "$work/ffmpeg-turn.mp4")
  row "zoom and turn, encoded" "$h2" "$f2"
done

echo "Null output (decode, filter, convert to yuv420p; nothing encoded):"
"$prefs_tool" --crop 0,0,1,1 --zoom 500,500
h3=$(best "$host" -q render "$clip" "$work/host.null")
cp "$work/last.err" "$work/host.err"
f3=$(best ffmpeg -v error -y -i "$clip" -vf "$zoom_vf,format=yuv420p" -an -f null -)
row "zoom, null output" "$h3" "$f3"
breakdown "$(awk '{ print $2 }' <<<"$h3")" "$dec"
"$prefs_tool" --crop 0,0,1,1 --zoom 500,500 --turn 5
h4=$(best "$host" -q render "$clip" "$work/host.null")
f4=$(best ffmpeg -v error -y -i "$clip" -vf "$turn_vf,format=yuv420p" -an -f null -)
row "zoom and turn, null output" "$h4" "$f4"

if [[ ${MEMORY:-1} != 0 ]]; then
  # Peak memory (maximum resident set) of the zoom at 3840 x 2160, 2 s,
  # encoded with ultrafast: the frame buffers in flight dominate.
  big=$work/source-4k.mp4
  echo "Making a 3840x2160, 2 s H.264 clip with sound..." >&2
  ffmpeg -v error -f lavfi -i "testsrc2=size=3840x2160:rate=$fps:duration=2" \
    -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=2" \
    -c:v libx264 -preset ultrafast -crf 20 -pix_fmt yuv420p -c:a aac -shortest "$big"
  "$prefs_tool" --crop 0,0,1,1 --zoom 500,500
  h5=$(best "$host" -q render --preset ultrafast --crf $crf "$big" "$work/host-4k.mp4")
  f5=$(best ffmpeg -v error -y -i "$big" -vf "crop=iw/1.5:ih/1.5,scale=3840:2160:flags=bicubic" -c:v libx264 \
    -preset ultrafast -crf $crf -pix_fmt yuv420p -c:a aac "$work/ffmpeg-4k.mp4")
  read -r _ _ hm <<<"$h5"
  read -r _ _ fm <<<"$f5"
  printf '%-30s host %6.0f MB   ffmpeg %6.0f MB   ratio %.2f\n' "peak memory, 4K zoom" "$((hm / 1024))" \
    "$((fm / 1024))" "$(awk -v h="$hm" -v f="$fm" 'BEGIN { print h / f }')"
fi
