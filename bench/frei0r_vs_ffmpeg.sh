#!/usr/bin/env bash
# The frei0r filter inside ffmpeg against FFmpeg's own filters doing the same
# work on the same packed RGBA pixels, 1920 x 1080:
#
#   zoom:       frei0r=quelvane (the centre half enlarged twice)
#               vs crop=iw/2:ih/2,scale=1920:1080
#   zoom+turn:  the same turned by 0.06 of a turn over black
#               vs crop,scale,rotate=2*PI*6/100:fillcolor=black
#
# Each chain runs in an ffmpeg process of its own between bench=start and
# bench=stop (in one filter graph the branches' timers would include each
# other's queued work), after the frames are generated and converted to
# RGBA, so only the chain is timed. The runs are interleaved, REPEATS times
# each, in one run of this script, and the median of each chain's per-frame
# medians is taken; the ratio frei0r / FFmpeg is what to quote (below 1:
# the filter is faster). Scale flags: FFmpeg's default (bicubic) and
# bilinear, the filter's own resampling. Threads: one (-threads 1
# -filter_threads 1) and ffmpeg's default.
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

zoom='frei0r=quelvane:0.6|0.6|0|0|1|1|0|0/0/0'
turn='frei0r=quelvane:0.6|0.6|0|0|1|1|0.06|0/0/0'
rotate='rotate=2*PI*6/100:fillcolor=black'

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Median seconds per frame of one chain (the first frame, which meets cold
# caches and fresh buffers, left out): time_chain THREADS CHAIN
time_chain() {
  local threads=()
  [[ $1 == one ]] && threads=(-threads 1 -filter_threads 1)
  ffmpeg -hide_banner -nostats "${threads[@]}" -f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v "$frames" \
    -vf "format=rgba,bench=start,$2,bench=stop" -f null - 2>&1 |
    sed -n 's/.*bench.* t:\([0-9.]*\) .*/\1/p' | tail -n +2 | median
}

printf '%-10s %-8s %-9s %14s %14s %8s\n' setting flags threads "frei0r ms" "FFmpeg ms" ratio
for threads in one default; do
  for flags in bicubic bilinear; do
    for setting in zoom zoom+turn; do
      ours=$zoom theirs="crop=iw/2:ih/2,scale=1920:1080:flags=$flags"
      [[ $setting == zoom+turn ]] && ours=$turn theirs="$theirs,$rotate"
      : >"$work/ours" && : >"$work/theirs"
      for ((r = 0; r < repeats; r++)); do
        time_chain "$threads" "$ours" >>"$work/ours"
        time_chain "$threads" "$theirs" >>"$work/theirs"
      done
      o=$(median <"$work/ours") t=$(median <"$work/theirs")
      printf '%-10s %-8s %-9s %14.2f %14.2f %8.3f\n' "$setting" "$flags" "$threads" "$(awk -v v="$o" 'BEGIN { print v * 1000 }')" \
        "$(awk -v v="$t" 'BEGIN { print v * 1000 }')" "$(awk -v a="$o" -v b="$t" 'BEGIN { print a / b }')"
    done
  done
done
echo "goals: zoom ratio <= 0.5, zoom+turn ratio <= 0.2" >&2
