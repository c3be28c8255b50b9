#!/usr/bin/env bash
# Runs tools/atspi-preview.py under a virtual X display and a D-Bus session of its own, as a
# desktop with a screen reader would: the accessibility bus is started on demand.
#
#   tools/atspi-preview.sh BUILD_DIR PICTURE [SHOT.png]     (QT_SCALE_FACTOR=2 for a 2x screen)
set -euo pipefail
cd "$(dirname "$0")/.."
exec xvfb-run -a -n "${DISPLAY_NUMBER:-$((50 + RANDOM % 200))}" -s "-screen 0 2560x1600x24" \
    dbus-run-session -- /usr/bin/python3 tools/atspi-preview.py "$@"
