#!/usr/bin/env bash
# Sets up everything, builds, and renders the built-in demo clip (a moving
# test pattern with a tone) through the Quelvane plug-in with a visible zoom:
# the frame enlarged 1.6 times about its centre, with a fade in and out. The
# zoom is set in the plug-in's settings window, played by a script, and saved
# into a temporary preferences folder, never the user's.
# The results go to build/demo/ (or the folder given as $1).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh build

out_dir=${1:-build/demo}
mkdir -p "$out_dir"
prefs=$(mktemp -d)
trap 'rm -rf "$prefs"' EXIT
export XDG_CONFIG_HOME=$prefs

# The zoom is set the way a user sets it: in the plug-in's settings window,
# here played by a script (scripts/demo-settings.txt) on the demo clip.
build/bin/quelvane-host -q settings --script scripts/demo-settings.txt
build/bin/quelvane-host render --demo --fade-in 15 --fade-out 15 "$out_dir/quelvane-demo.mp4"
build/bin/quelvane-host still --demo --thumb-offset 45 "$out_dir/quelvane-demo-still.png"

echo
echo "The demo clip, zoomed by the plug-in: $(cd "$out_dir" && pwd)/quelvane-demo.mp4"
echo "Its place-holder still:               $(cd "$out_dir" && pwd)/quelvane-demo-still.png"
