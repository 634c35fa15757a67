#!/usr/bin/env bash
# ffmpeg, melt and GStreamer, as Debian ships them, load the built frei0r
# filter (through FREI0R_PATH) and render a generated clip, with the saved
# settings and with parameters of their own on top of them. Every picture
# must match quelvane-host's lossless render of the same clip with the
# settings the parameters come to: PSNR at least 40 dB, compared in the
# host's 4:2:0 (both pictures converted by the host). DISPLAY names a display that does not exist: nothing may try
# to open one. The filter finds the bundle from where it lies: the build
# tree's, and the installed one when `cmake --install` installs a bundle.
#
#   bash tests/frei0r/programs.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export FREI0R_PATH=$build/lib/frei0r-1 GST_REGISTRY=$work/registry.bin DISPLAY=:97
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QUELVANE_BUNDLE
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
prefs() { mkdir -p "$1" && XDG_CONFIG_HOME=$work/$1 "$build/bin/quelvane-prefs" "${@:2}"; }

ffmpeg -v error -f lavfi -i testsrc2=size=256x144:rate=25:duration=1 -pix_fmt bgr0 -c:v ffv1 clip.mkv
ffmpeg -v error -i clip.mkv -f rawvideo -pix_fmt rgba clip.rgba
printf '%s\n' "description=clip" frame_rate_num=25 frame_rate_den=1 width=256 height=144 progressive=1 \
  sample_aspect_num=1 sample_aspect_den=1 display_aspect_num=16 display_aspect_den=9 colorspace=601 >profile
prefs saved --crop 0.1,0.2,0.7,0.9 --zoom 300,500 --turn 3 --fill 0,0,255
raw=(-f rawvideo -pix_fmt rgba -s 256x144 -r 25)
gst=(gst-launch-1.0 -q filesrc location=clip.rgba ! rawvideoparse width=256 height=144 format=rgba framerate=25/1 !)
# melt 7.12 has two races of its own, both seen only under load: now and
# then it misses that its consumer has finished and sleeps on with nothing
# but its main thread left (the output is complete by then: after 40 s melt
# is stopped, and the picture check below decides), and now and then it ends
# before its consumer has written anything, with status 0. A run whose
# output no program can read is made once more.
melt_() {
  local status=0 out=${*: -4:1}
  for attempt in 1 2; do
    status=0
    timeout 40 melt "$@" || status=$?
    if ((status == 124)); then echo "note: melt did not end by itself; stopped after 40 s" >&2; status=0; fi
    ((status == 0)) && ! ffprobe -v quiet "${out#avformat:}" && echo "note: melt ended without output (run $attempt)" >&2 && continue
    break
  done
  return $status
}
melt=(melt_ -quiet -profile profile clip.mkv -filter frei0r.quelvane)

# case NAME "REFERENCE SETTINGS" "OUTPUT READ AS" COMMAND...: the program
# renders with the saved settings into NAME.*; the host renders the same clip
# with the settings the program's parameters should come to.
case_() {
  local name=$1 settings=$2 read=$3 out psnr n
  shift 3
  XDG_CONFIG_HOME=$work/saved "$@" 2>"$name.err" || fail "$name: exit status $?: $(cat "$name.err")"
  ! grep 'quelvane:' "$name.err" || fail "$name: the filter reported a problem"
  prefs "ref-$name" $settings
  XDG_CONFIG_HOME=$work/ref-$name "$build/bin/quelvane-host" -q render clip.mkv "ref-$name.mkv" --crf 0
  # The program's picture reaches 4:2:0 the way the reference did: through
  # the host's own converters, in an identity render (default settings).
  ffmpeg -v error $read -pix_fmt bgr0 -c:v ffv1 "rgb-$name.mkv"
  mkdir -p identity
  XDG_CONFIG_HOME=$work/identity "$build/bin/quelvane-host" -q render "rgb-$name.mkv" "yuv-$name.mkv" --crf 0
  out=$(ffmpeg -v info -i "yuv-$name.mkv" -i "ref-$name.mkv" -lavfi "[0][1]psnr" -f null - 2>&1)
  psnr=$(sed -n 's/.*PSNR.*average:\([0-9.inf]*\).*/\1/p' <<<"$out")
  n=$(sed -n 's/.*frame= *\([0-9]*\).*/\1/p' <<<"$out" | tail -1)
  echo "$name: $n frames, PSNR $psnr dB against quelvane-host" >&2
  [[ $n == 25 ]] && awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p + 0 >= 40) }' || fail "$name: frames lost or PSNR low"
}
saved="--crop 0.1,0.2,0.7,0.9 --zoom 300,500 --turn 3 --fill 0,0,255"
case_ ffmpeg-saved "$saved" "-i ffmpeg-saved.mkv" ffmpeg -i clip.mkv -vf frei0r=quelvane -c:v ffv1 ffmpeg-saved.mkv
# By position: zoom horizontal 0.6 (twice), zoom vertical 0.2 (unchanged).
case_ ffmpeg "--crop 0.1,0.2,0.7,0.9 --zoom 1000,0 --turn 3 --fill 0,0,255" "-i ffmpeg.mkv" \
  ffmpeg -i clip.mkv -vf "frei0r=filter_name=quelvane:filter_params=0.6|0.2" -c:v ffv1 ffmpeg.mkv
case_ melt-saved "$saved" "-i melt-saved.mkv" "${melt[@]}" -consumer avformat:melt-saved.mkv vcodec=ffv1 pix_fmt=bgra an=1
# By name and by index: crop left 0.3, a quarter turn.
case_ melt "--crop 0.3,0.2,0.7,0.9 --zoom 300,500 --turn 25 --fill 0,0,255" "-i melt.mkv" \
  "${melt[@]}" "Crop left=0.3" 6=0.25 -consumer avformat:melt.mkv vcodec=ffv1 pix_fmt=bgra an=1

# GStreamer's frei0r elements, with a registry of only the plug-ins used; it
# sets every parameter back to the default it read, and these.
gstdir=$(dirname "$(ls /usr/lib/*/gstreamer-1.0/libgstfrei0r.so 2>/dev/null | head -1)")
if [[ $gstdir == . ]]; then
  echo "GStreamer's frei0r plug-in (gstreamer1.0-plugins-bad) is not installed: GStreamer not checked" >&2
else
  mkdir gst && ln -s "$gstdir"/libgst{frei0r,coreelements,rawparse}.so gst/
  export GST_PLUGIN_SYSTEM_PATH_1_0=$work/gst GST_PLUGIN_PATH_1_0=
  case_ gst-saved "$saved" "${raw[*]} -i gst-saved.rgba" "${gst[@]}" frei0r-filter-quelvane ! filesink location=gst-saved.rgba
  case_ gst "--crop 0.1,0.2,0.7,0.9 --zoom 300,2000 --turn 3 --fill 255,0,255" "${raw[*]} -i gst.rgba" \
    "${gst[@]}" frei0r-filter-quelvane zoom-vertical=1.0 fill-colour-r=1.0 ! filesink location=gst.rgba
fi

# Installed: lib/frei0r-1/quelvane.so finds lib/quelvane/Quelvane.plugin and the platform library in lib/.
if cmake --install "$build" --prefix prefix >/dev/null && [[ -d prefix/lib/quelvane/Quelvane.plugin ]]; then
  FREI0R_PATH=$work/prefix/lib/frei0r-1 case_ installed "$saved" "-i installed.mkv" \
    ffmpeg -i clip.mkv -vf frei0r=quelvane -c:v ffv1 installed.mkv
else
  echo "cmake --install puts no bundle in lib/quelvane: the installed filter not checked" >&2
fi
((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
