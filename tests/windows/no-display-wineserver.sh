#!/usr/bin/env bash
# The Windows updater where Wine can make no window, whatever DISPLAY says: a wineserver
# whose desktop was made by a program started without a display keeps Wine's null display
# driver for every later program of its prefix, which then gets no top-level window while
# Wine still lists a monitor. The updater must end as it does without a display on Linux:
# exit code -1 and its one "no display available" line, never a crash.
#
#   tests/windows/no-display-wineserver.sh UPDATER.exe HOLD-DESKTOP.exe PREFIX
#
# HOLD-DESKTOP.exe (tests/windows/HoldDesktop.cpp) makes and holds the desktop without a
# display. PREFIX is a Wine prefix of this test's own (made on first use): its wineserver
# is started and ended here, apart from the one the other Windows tests share.
set -uo pipefail

updater="$1" holder="$2" prefix="$3"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

"$here/wine-run.sh" --prefix "$prefix" --init || exit 1
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null' EXIT
wineserver -k 2>/dev/null
wineserver -p 60

# The desktop of this wineserver comes from a program without a display.
[ -f "$holder" ] || { echo "FAIL: no desktop holder at $holder (built by scripts/windows.sh)"; exit 1; }
held="$(mktemp)"
env -u DISPLAY wine "$holder" 40 >"$held" 2>/dev/null &
for _ in $(seq 300); do
    grep -q holding "$held" && break
    sleep 0.1
done
grep -q holding "$held" || { echo "FAIL: the desktop holder did not start"; exit 1; }
rm -f "$held"

errors="$(mktemp)"
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" wine "$updater" --autoupdate 2>"$errors"
code=$?
own="$(grep '^firmware-updater: ' "$errors" | tr -d '\r')"
rm -f "$errors"

echo "exit code $code; the updater's lines on stderr: ${own:-none}"
if [ "$code" -ne 255 ] || [ "$own" != "firmware-updater: no display available (is DISPLAY set?); cannot open the window" ]; then
    echo "FAIL: expected exit code 255 (-1) and the no-display line alone"
    exit 1
fi
echo PASS
