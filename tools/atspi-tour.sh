#!/usr/bin/env bash
# Runs tools/atspi-tour.py under a virtual X display and a D-Bus session of its own: the window
# driven through AT-SPI by control names, as a screen reader would, on a photograph, with a
# screenshot after each step (black background, invert, Brightness slider, typed width).
#
#   tools/atspi-tour.sh BUILD_DIR [PICTURE [SHOTS_DIR]]
#
# PICTURE defaults to a photograph from plasma-workspace-wallpapers (a wooden jetty by the water).
# A white screen behind the windows shows where the dark preview ends. Needs xvfb, dbus,
# python3-pyatspi and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/atspi-tour.sh BUILD_DIR [PICTURE [SHOTS_DIR]]}
picture=${2:-/usr/share/wallpapers/BytheWater/contents/images/1920x1080.jpg}
shift $(($# < 2 ? $# : 2))
exec xvfb-run -a -n "${DISPLAY_NUMBER:-$((50 + RANDOM % 200))}" -s "-screen 0 2560x1600x24 -wr" \
    dbus-run-session -- /usr/bin/python3 tools/atspi-tour.py "$build" "$picture" "$@"
