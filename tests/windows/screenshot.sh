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

display_file="$(mktemp)"
# A black screen (-br), so that the window can be cut out of it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -br -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
x_server=$!
updater=""
trap 'rm -f "$display_file"; [ -z "$updater" ] || kill "$updater" 2>/dev/null; kill "$x_server" 2>/dev/null' EXIT
for ((tries = 0; tries < 100; tries++)); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
export DISPLAY=":$(tr -dc '0-9' <"$display_file")" UPDATER_WINE_DISPLAY=":$(tr -dc '0-9' <"$display_file")"

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
