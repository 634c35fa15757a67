#!/usr/bin/env bash
# ffmpeg, melt and GStreamer, as Debian ships them, load the built frei0r
# filter (through FREI0R_PATH) and render a generated clip, once with the
# saved settings and once with parameters of their own on top of them. Every
# picture must match quelvane-host's lossless render of the same clip with
# the same settings: PSNR at least 40 dB, compared in the host's 4:2:0.
# DISPLAY names a display that does not exist: loading and rendering must
# not try to open one. The filter finds the bundle from where it lies (the
# build tree's, then, when `cmake --install` installs one, the installed
# one beside it).
#
#   bash tests/frei0r/programs.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export FREI0R_PATH=$build/lib/frei0r-1 GST_REGISTRY=$work/registry.bin DISPLAY=:97
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QUELVANE_BUNDLE
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Settings: prefs FOLDER quelvane-prefs-options...
prefs() { mkdir -p "$work/$1" && XDG_CONFIG_HOME=$work/$1 "$build/bin/quelvane-prefs" "${@:2}"; }
saved=(--crop 0.1,0.2,0.7,0.9 --zoom 300,500 --turn 3 --fill 0,0,255)
prefs saved "${saved[@]}"

w=256 h=144 frames=25
ffmpeg -v error -f lavfi -i "testsrc2=size=${w}x$h:rate=25:duration=1" -pix_fmt bgr0 -c:v ffv1 "$work/clip.mkv"
ffmpeg -v error -i "$work/clip.mkv" -f rawvideo -pix_fmt rgba "$work/clip.rgba"
cat >"$work/profile" <<PROFILE
description=test clip
frame_rate_num=25
frame_rate_den=1
width=$w
height=$h
progressive=1
sample_aspect_num=1
sample_aspect_den=1
display_aspect_num=16
display_aspect_den=9
colorspace=601
PROFILE

# Host references: reference NAME quelvane-prefs-options... (the settings a
# program's parameters should come to, written for the host alone).
reference() {
  [[ $1 == saved ]] || prefs "$1" "${@:2}"
  XDG_CONFIG_HOME=$work/$1 "$build/bin/quelvane-host" -q render "$work/clip.mkv" "$work/ref-$1.mkv" --crf 0
}
# check NAME REFERENCE INPUT-OPTIONS...: frame count, no report of the
# filter's, and PSNR against the reference.
check() {
  local name=$1 ref=$2 out
  shift 2
  grep -q 'quelvane:' "$work/$name.err" && fail "$name: the filter reported: $(grep quelvane: "$work/$name.err")"
  out=$(ffmpeg -v info "$@" -i "$work/ref-$ref.mkv" -lavfi \
    "[0]scale=out_color_matrix=bt601:out_range=tv:flags=area,format=yuv420p[a];[1]format=yuv420p[b];[a][b]psnr" \
    -f null - 2>&1)
  local n psnr
  n=$(sed -n 's/.*frame= *\([0-9]*\).*/\1/p' <<<"$out" | tail -1)
  psnr=$(sed -n 's/.*PSNR.*average:\([0-9.inf]*\).*/\1/p' <<<"$out")
  echo "$name: $n frames, PSNR $psnr dB against quelvane-host" >&2
  [[ $n == "$frames" ]] || fail "$name: $n frames, not $frames"
  [[ -n $psnr ]] && awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p >= 40) }' || fail "$name: PSNR '$psnr' below 40 dB"
}
run() {  # NAME COMMAND...: runs a program with the saved settings, keeping its messages
  local name=$1
  shift
  XDG_CONFIG_HOME=$work/saved "$@" 2>"$work/$name.err" || { fail "$name: exit status $?"; cat "$work/$name.err" >&2; }
}

reference saved
# ffmpeg sets the parameters given, by position: zoom horizontal 0.6 (twice),
# zoom vertical 0.2 (unchanged).
reference ffmpeg --crop 0.1,0.2,0.7,0.9 --zoom 1000,0 --turn 3 --fill 0,0,255
# melt by name and by index: crop left 0.3, turn 0.25.
reference melt --crop 0.3,0.2,0.7,0.9 --zoom 300,500 --turn 25 --fill 0,0,255
# GStreamer sets every parameter back to its default, and these: zoom
# vertical three times, red in the fill.
reference gst --crop 0.1,0.2,0.7,0.9 --zoom 300,2000 --turn 3 --fill 255,0,255

run ffmpeg-saved ffmpeg -v error -i "$work/clip.mkv" -vf frei0r=quelvane -c:v ffv1 "$work/ffmpeg-saved.mkv"
check ffmpeg-saved saved -i "$work/ffmpeg-saved.mkv"
run ffmpeg ffmpeg -v error -i "$work/clip.mkv" -vf "frei0r=filter_name=quelvane:filter_params=0.6|0.2" -c:v ffv1 \
  "$work/ffmpeg.mkv"
check ffmpeg ffmpeg -i "$work/ffmpeg.mkv"

run melt-saved melt -quiet -profile "$work/profile" "$work/clip.mkv" -filter frei0r.quelvane \
  -consumer "avformat:$work/melt-saved.mkv" vcodec=ffv1 pix_fmt=bgr0 an=1
check melt-saved saved -i "$work/melt-saved.mkv"
run melt melt -quiet -profile "$work/profile" "$work/clip.mkv" -filter frei0r.quelvane "Crop left=0.3" 6=0.25 \
  -consumer "avformat:$work/melt.mkv" vcodec=ffv1 pix_fmt=bgr0 an=1
check melt melt -i "$work/melt.mkv"

# GStreamer's frei0r elements, with a registry of only the plug-ins used.
gstfrei0r=$(ls /usr/lib/*/gstreamer-1.0/libgstfrei0r.so 2>/dev/null | head -1 || true)
if [[ -z $gstfrei0r ]]; then
  echo "GStreamer's frei0r plug-in (gstreamer1.0-plugins-bad) is not installed: GStreamer not checked" >&2
else
  gstdir=$(dirname "$gstfrei0r")
  mkdir "$work/gst-plugins"
  ln -s "$gstdir"/libgst{frei0r,coreelements,rawparse}.so "$work/gst-plugins/"
  export GST_PLUGIN_SYSTEM_PATH_1_0=$work/gst-plugins GST_PLUGIN_PATH_1_0=
  raw="rawvideoparse width=$w height=$h format=rgba framerate=25/1"
  for name in gst-saved gst; do
    props=()
    [[ $name == gst ]] && props=(zoom-vertical=1.0 fill-colour-r=1.0)
    run "$name" gst-launch-1.0 -q filesrc location="$work/clip.rgba" ! $raw ! frei0r-filter-quelvane "${props[@]}" \
      ! filesink location="$work/$name.rgba"
  done
  check gst-saved saved -f rawvideo -pix_fmt rgba -s "${w}x$h" -r 25 -i "$work/gst-saved.rgba"
  check gst gst -f rawvideo -pix_fmt rgba -s "${w}x$h" -r 25 -i "$work/gst.rgba"
fi

# The installed layout: lib/frei0r-1/quelvane.so finds lib/quelvane/Quelvane.plugin
# and the platform library in lib/.
if cmake --install "$build" --prefix "$work/prefix" >/dev/null && [[ -d $work/prefix/lib/quelvane/Quelvane.plugin ]]; then
  FREI0R_PATH=$work/prefix/lib/frei0r-1 run installed ffmpeg -v error -i "$work/clip.mkv" -vf frei0r=quelvane \
    -c:v ffv1 "$work/installed.mkv"
  check installed saved -i "$work/installed.mkv"
else
  echo "cmake --install puts no bundle in lib/quelvane: the installed filter not checked" >&2
fi

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "ffmpeg, melt and GStreamer render what quelvane-host renders" >&2
