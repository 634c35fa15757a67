#!/usr/bin/env bash
# Side-by-side speed of the crop-and-zoom draw, in one run on this machine:
# the Quartz stand-in's draw and the whole renderer (quelvane_draw_bench)
# against a memcpy of the frame, pixman doing the same draw, and FFmpeg's
# filters doing the same work single-threaded. Prints the ratios.
#
#   bash bench/compare.sh [BUILD_DIR]      (default: build)
#
# Environment: MIN_TIME (seconds per benchmark, default 0.5), REPS
# (repetitions, median taken, default 3), SIZES (default
# "720x480 1920x1080 3840x2160").
#
# FFmpeg's cost of a filter chain is the CPU time of a run with the chain
# minus a run with -vf null on the same generated frames, per frame; our
# figures are CPU time per frame too (the machine is shared: CPU time of the
# working thread is steadier than wall time).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench=$build/bin/quelvane_draw_bench
[[ -x $bench ]] || { echo "compare.sh: $bench not found; build first (bash scripts/build.sh $build)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "compare.sh: ffmpeg not found" >&2; exit 1; }
sizes=${SIZES:-"720x480 1920x1080 3840x2160"}

csv=$(mktemp)
trap 'rm -f "$csv"' EXIT
filter=$(for s in $sizes; do echo -n "/w:${s%x*}/|"; done)
"$bench" --benchmark_filter="(${filter%|})" --benchmark_format=csv --benchmark_min_time="${MIN_TIME:-0.5}" \
  --benchmark_repetitions="${REPS:-3}" --benchmark_report_aggregates_only=true 2>/dev/null >"$csv"

# Median CPU milliseconds of benchmark NAME at setting S, size W x H.
ms() { awk -F, -v n="\"$1/setting:$2/w:$3/h:$4_median\"" '$1 == n { print $4 }' "$csv"; }

# CPU seconds of one ffmpeg run over N frames of W x H with filter chain VF.
cpu() {
  local w=$1 h=$2 n=$3 vf=$4 t
  TIMEFORMAT='%U %S'
  t=$( { time ffmpeg -hide_banner -nostdin -loglevel error -threads 1 -filter_threads 1 \
          -f lavfi -i "testsrc2=size=${w}x${h}:rate=25,format=argb" -frames:v "$n" \
          -vf "$vf" -f null - >/dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN { split(t, a, " "); print a[1] + a[2] }'
}

# Per-frame CPU milliseconds of a chain over the null run (best of two).
ffmpeg_ms() {
  local w=$1 h=$2 vf=$3 n best=
  n=$(( 30 * 1920 * 1080 / (w * h) )); (( n < 8 )) && n=8
  for _ in 1 2; do
    local with without
    with=$(cpu "$w" "$h" "$n" "$vf")
    without=$(cpu "$w" "$h" "$n" null)
    best=$(awk -v a="$with" -v b="$without" -v n="$n" -v best="$best" \
      'BEGIN { v = (a - b) * 1000 / n; if (best == "" || v < best) best = v; print best }')
  done
  echo "$best"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

echo "CPU time per frame in ms (medians), and ratios; lower is better."
for s in $sizes; do
  w=${s%x*} h=${s#*x}
  zoom="crop=iw/2:ih/2,scale=${w}:${h}:flags=bilinear"
  turn="$zoom,rotate=2*PI*6/100:fillcolor=black"
  ffz=$(ffmpeg_ms "$w" "$h" "$zoom")
  fft=$(ffmpeg_ms "$w" "$h" "$turn")
  mem=$(ms BM_Memcpy 0 "$w" "$h")
  echo
  echo "== ${w} x ${h}: memcpy of the frame ${mem} ms; FFmpeg crop+scale ${ffz} ms, crop+scale+rotate ${fft} ms"
  printf '%-10s %9s %9s %9s %9s %9s %9s\n' setting draw plain pixman renderer pixman+io ffmpeg
  for setting in 0 1 2; do
    name=(identity zoom turn)
    ff=-
    (( setting == 1 )) && ff=$ffz
    (( setting == 2 )) && ff=$fft
    printf '%-10s %9s %9s %9s %9s %9s %9s\n' "${name[$setting]}" "$(ms BM_Draw $setting "$w" "$h")" \
      "$(ms BM_DrawPlain $setting "$w" "$h")" "$(ms BM_PixmanDraw $setting "$w" "$h")" \
      "$(ms BM_LineEffect $setting "$w" "$h")" "$(ms BM_Pixman $setting "$w" "$h")" "$ff"
  done
  echo "ratios:"
  echo "  renderer zoom+turn / FFmpeg crop+scale+rotate: $(ratio "$(ms BM_LineEffect 2 "$w" "$h")" "$fft")  (goal <= 0.10)"
  echo "  renderer zoom / FFmpeg crop+scale:             $(ratio "$(ms BM_LineEffect 1 "$w" "$h")" "$ffz")"
  echo "  draw zoom / memcpy:                            $(ratio "$(ms BM_Draw 1 "$w" "$h")" "$mem")  (goal <= 3)"
  echo "  draw identity / memcpy:                        $(ratio "$(ms BM_Draw 0 "$w" "$h")" "$mem")"
  for setting in 0 1 2; do
    name=(identity zoom turn)
    echo "  ${name[$setting]}: draw / pixman draw $(ratio "$(ms BM_Draw $setting "$w" "$h")" "$(ms BM_PixmanDraw $setting "$w" "$h")"), renderer / pixman with byte swaps $(ratio "$(ms BM_LineEffect $setting "$w" "$h")" "$(ms BM_Pixman $setting "$w" "$h")")  (goal <= 1)"
  done
done
