#!/usr/bin/env bash
# Sets up and builds the project, then runs the updater's main job: a whole
# firmware update of the simulated pedal in the demo build. With a display the
# window opens (press "update"); without one the update runs unattended under a
# virtual X server and the exit code tells the outcome (0 success, 255 = -1 failure).
#
#   scripts/run.sh [--autoupdate]
# Faults for the simulated pedal: see "Trying it without a pedal" in README.md.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" "$here/build"

app="$here/build/bin/firmware-updater-demo"
if [ -n "${DISPLAY:-}" ]; then
    exec "$app" "$@"
fi

echo "run: no display; running the update unattended under Xvfb"
set +e
xvfb-run -a -s "-screen 0 1024x768x24" "$app" --autoupdate
code=$?
set -e
if [ $code -eq 0 ]; then
    echo "run: firmware upgrade successful (exit code 0)"
else
    echo "run: firmware upgrade failed (exit code $code)"
fi
exit $code
