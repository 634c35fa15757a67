#!/usr/bin/env bash
# The frei0r filter inside ffmpeg against FFmpeg's own filters doing the same
# work on the same packed RGBA pixels, 1920 x 1080:
#
#   zoom:       frei0r=quelvane (the centre half enlarged twice)
#               vs crop=iw/2:ih/2,scale=1920:1080
#   zoom+turn:  the same turned by 0.06 of a turn over black
#               vs crop,scale,rotate=2*PI*6/100:fillcolor=black
#
# with scale's default flags (bicubic) and bilinear (the filter's own
# resampling), on one thread (-threads 1 -filter_threads 1) and ffmpeg's
# default threads. Each chain runs in an ffmpeg process of its own, after the
# frames are generated and converted to RGBA; the runs are interleaved,
# REPEATS times each, in one run of this script, and medians are taken.
# Two figures per chain, in milliseconds per frame:
#  - cpu: the process's CPU time (ffmpeg -benchmark, all threads) less that
#    of the same run with `null` in place of the chain; steady on a shared
#    machine, and the figure for one thread;
#  - wall: the chain's own time between bench=start and bench=stop; what
#    default threads gain shows here, and so does any other load.
# The ratios filter / FFmpeg are what to quote (below 1: the filter is
# faster). Goals: zoom at most 0.5, zoom and turn at most 0.2.
#
#   bash bench/frei0r_vs_ffmpeg.sh [BUILD_DIR] [FRAMES] [REPEATS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
frames=${2:-100}
repeats=${3:-3}
[[ -f $build/lib/frei0r-1/quelvane.so ]] || { echo "build first: $build/lib/frei0r-1/quelvane.so is missing" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export FREI0R_PATH=$build/lib/frei0r-1 XDG_CONFIG_HOME=$work

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# "cpu-seconds wall-ms-per-frame" of one run: run THREADS CHAIN. The wall
# figure is the median over the frames after the first (cold caches).
run() {
  local threads=() out
  [[ $1 == one ]] && threads=(-threads 1 -filter_threads 1)
  out=$(ffmpeg -hide_banner -nostats -benchmark "${threads[@]}" -f lavfi -i "testsrc2=size=1920x1080:rate=25" \
    -frames:v "$frames" -vf "format=rgba,bench=start,$2,bench=stop" -f null - 2>&1)
  echo "$(sed -n 's/.*utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' <<<"$out" | awk '{ print $1 + $2 }')" \
    "$(sed -n 's/.*bench.* t:\([0-9.]*\) .*/\1/p' <<<"$out" | tail -n +2 | median | awk '{ print $1 * 1000 }')"
}

# Milliseconds per frame of a file of runs: CPU less the baseline, and wall.
cpu_ms() { awk -v b="$base" -v n="$frames" '{ print ($1 - b) * 1000 / n }' "$1" | median; }
wall_ms() { cut -d' ' -f2 "$1" | median; }

zoom='frei0r=quelvane:0.6|0.6|0|0|1|1|0|0/0/0'
turn='frei0r=quelvane:0.6|0.6|0|0|1|1|0.06|0/0/0'
printf '%-10s %-8s %-8s %20s %20s %16s\n' setting flags threads "frei0r cpu / wall" "FFmpeg cpu / wall" "ratio cpu / wall"
for threads in one default; do
  for flags in bicubic bilinear; do
    for setting in zoom zoom+turn; do
      ours=$zoom theirs="crop=iw/2:ih/2,scale=1920:1080:flags=$flags"
      [[ $setting == zoom+turn ]] && ours=$turn theirs="$theirs,rotate=2*PI*6/100:fillcolor=black"
      : >"$work/base" && : >"$work/ours" && : >"$work/theirs"
      for ((r = 0; r < repeats; r++)); do
        run "$threads" null >>"$work/base"
        run "$threads" "$ours" >>"$work/ours"
        run "$threads" "$theirs" >>"$work/theirs"
      done
      base=$(cut -d' ' -f1 "$work/base" | median)
      oc=$(cpu_ms "$work/ours") ow=$(wall_ms "$work/ours") tc=$(cpu_ms "$work/theirs") tw=$(wall_ms "$work/theirs")
      printf '%-10s %-8s %-8s %9.2f / %8.2f %9.2f / %8.2f %7.3f / %6.3f\n' "$setting" "$flags" "$threads" \
        "$oc" "$ow" "$tc" "$tw" "$(awk -v a="$oc" -v b="$tc" 'BEGIN { print a / b }')" \
        "$(awk -v a="$ow" -v b="$tw" 'BEGIN { print a / b }')"
    done
  done
done
