#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, the way the tests need it:
#
#   tests/windows/wine-run.sh --prefix WINEPREFIX PROGRAM.exe [ARG...]
#   tests/windows/wine-run.sh --prefix WINEPREFIX --init        (only make the prefix)
#
# The Wine prefix is made on first use (about 15 s; later runs find it ready), with
# Wine's own window management (no window manager under Xvfb: closing a managed window
# would cost 2 s), without the Mono and Gecko installers, and without Wine's menu
# builder, so that an installer tried under Wine adds nothing to this machine's menus.
# The program gets the X display named by UPDATER_WINE_DISPLAY, or a virtual X server
# of its own (xvfb-run) when that is unset. Exits with the program's exit code.
#
# A wineserver kept alive across runs (`WINEPREFIX=... wineserver -p`, ended with
# `wineserver -k`) takes each start from seconds to a fraction of one; scripts/windows.sh
# does that for the whole Windows test stage.
set -euo pipefail

if [ "${1:-}" != --prefix ] || [ $# -lt 3 ]; then
    sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
fi
export WINEPREFIX="$2"
shift 2

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

ensure_prefix()
{
    [ -f "$WINEPREFIX/.updater-ready" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Several tests may start at once; one of them makes the prefix.
    exec 8>"$WINEPREFIX.lock"
    flock 8
    if [ ! -f "$WINEPREFIX/.updater-ready" ]; then
        rm -rf "$WINEPREFIX"
        # wineboot returns before the prefix is complete; `wineserver -w` waits until
        # every process of the set-up has ended and the registry is on disk. A prefix
        # used earlier than that lacks parts of Windows (DXGI among them, which JUCE
        # uses unchecked as it opens a window: the program crashes).
        wine wineboot --init >/dev/null 2>&1
        wineserver -w
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.updater-ready"
    fi
    flock -u 8
    exec 8>&-
}

ensure_prefix
if [ "$1" = --init ]; then
    exit 0
fi

if [ -n "${UPDATER_WINE_DISPLAY:-}" ]; then
    DISPLAY="$UPDATER_WINE_DISPLAY" exec wine "$@"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
