#!/usr/bin/env bash
# The Windows updater's window under Wine, as a PNG: the demo build, unattended, about ten
# seconds into the transfer to its simulated pedal. Called by scripts/windows.sh screenshot
# FILE, which builds what it needs and installs ImageMagick.
#
#   tests/windows/screenshot.sh FILE DEMO_EXE REPAINT_EXE WINE_RUN...
set -euo pipefail

out="$1"
demo="$2"
repaint="$3"
shift 3
wine_run=("$@")

# shellcheck source-path=SCRIPTDIR source=../../scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
updater=""
x_server=""
trap '[ -z "$updater" ] || kill "$updater" 2>/dev/null; [ -z "$x_server" ] || kill "$x_server" 2>/dev/null' EXIT
# A black screen (-br), so that the window can be cut out of it.
start_x_server -br || {
    echo "screenshot: Xvfb did not start" >&2
    exit 1
}
export DISPLAY="$x_display" UPDATER_WINE_DISPLAY="$x_display"

"${wine_run[@]}" "$demo" --autoupdate >/dev/null 2>&1 &
updater=$!

shown() { xwininfo -root -tree 2>/dev/null | grep -q '"Firmware Updater"'; }
for ((tries = 0; tries < 300; tries++)); do
    shown && break
    sleep 0.1
done
shown || {
    echo "screenshot: the updater's window did not appear" >&2
    exit 1
}
sleep 10
# Under Wine the window keeps its first frame until it is asked to repaint (see
# RepaintWindow.cpp).
"${wine_run[@]}" "$repaint"
sleep 1
import -window root -trim +repage "$out"
echo "screenshot: $out"
