#!/usr/bin/env bash
# Runs inside the ALSA test VM (vm-wine-update.sh starts it through run-in-vm.sh): the
# Windows updater under Wine, unattended ("--autoupdate"), against the Linux pedal-sim on the
# VM's real ALSA sequencer, through Windows' MIDI (WinMM, which Wine's winealsa driver maps
# onto the sequencer). Gathers what the run left behind; the verdict is taken on the host
# (check_wine_update.py).
#
#   guest-wine-update.sh RESULTS UPDATER_EXE PORT_LISTER_EXE PEDAL_SIM WINE_RUN...
#
# RESULTS receives: wine-start-seconds (Wine's first start in the VM); ports.txt and
# ports-status (the MIDI ports a Windows program lists, by midi-ports.exe, while two more
# pedal-sims run for a moment: one of the same name, one with a long name); pedal-report.txt
# and pedal-record.syx (everything that reached the pedal's input), pedal.{out,err},
# pedal-status and pedal-ended-itself (--exit-after-update); updater.{out,err} and
# updater-status (the exit code the updater ended with, from Wine's start /wait); seconds
# (the update's wall time); error when the run could not be carried out; finished at the end.
set -uo pipefail

if [ "${ALSA_VM_GUEST:-}" != 1 ] || [ $# -lt 5 ]; then
    echo "guest-wine-update.sh: run me through tests/windows/vm-wine-update.sh" >&2
    exit 2
fi
# The base name of the extra pedal whose port name is too long for Windows.
long_name="Verrano2 pedal on the USB hub"

results="$1" updater="$2" lister="$3" pedal_sim="$4"
shift 4
wine_run=("$@")

mkdir -p "$results"
rm -f "$results/finished" "$results/error"

# shellcheck source=tests/alsa-vm/guest-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../alsa-vm/guest-common.sh"
# The whole update is one run, its folder RESULTS.
run="$results"
cleanup() {
    stop_background
    WINEPREFIX="${wine_run[2]}" wineserver -k 2>/dev/null || true
    touch "$results/finished"
}
trap cleanup EXIT

# One X server for Wine's windows.
start_x_server || exit 0
background+=("$x_server")
export UPDATER_WINE_DISPLAY="$DISPLAY"

# Wine's first start in the VM: its own services and desktop, in a wineserver that stays.
export WINEPREFIX="${wine_run[2]}" WINEDEBUG=-all
started=$(now_ms)
wineserver -p
DISPLAY="$UPDATER_WINE_DISPLAY" timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1
seconds_since "$started" >"$results/wine-start-seconds"

# pedal-sim in its boot loader; it leaves by itself once the restarted pedal was asked for
# its revision.
launch_pedal "Verrano2 Boot" --mode boot --exit-after-update --record "$results/pedal-record.syx" || exit 0

# The names a Windows program sees, with two more pedals for a moment: one of the same name,
# and one whose name is longer than the 31 characters of a Windows MIDI device name.
extra=()
"$pedal_sim" --mode boot >/dev/null 2>"$results/second-pedal.err" &
extra+=($!)
"$pedal_sim" --mode boot --name "$long_name" >/dev/null 2>"$results/long-pedal.err" &
extra+=($!)
background+=("${extra[@]}")
wait_until 60 bash -c "[ \$(aconnect -o | grep -c \"'Verrano2 Boot *'\") -eq 2 ]" &&
    wait_until 60 bash -c "aconnect -o | grep -q \"'$long_name Boot *'\"" ||
    fail_run "the extra pedals' ports did not appear within 60 s"
status=0
timeout 60 "${wine_run[@]}" "$lister" >"$results/ports.txt" 2>"$results/ports.err" || status=$?
echo "$status" >"$results/ports-status"
for pid in "${extra[@]}"; do
    reap "$pid" 10 TERM >/dev/null
done

# Every Wine 8.0 process that used the ALSA MIDI driver ends by SIGSEGV (139) after the
# program has finished: as the process exits, Wine ends its driver's notification thread
# ("winealsa_midi_notify") inside a system call and that thread jumps to address 0 (seen
# with a ten-line C program that only counts the MIDI devices; one that ends with
# TerminateProcess keeps its code). The wine command's own status is therefore not the
# updater's; Wine's start /wait returns the exit code the updater ended with, which Wine had
# recorded before its driver's thread crashed.
started=$(now_ms)
status=0
timeout -k 5 150 "${wine_run[@]}" start /wait /b /unix "$updater" --autoupdate \
    >"$results/updater.out" 2>"$results/updater.err" || status=$?
echo "$status" >"$results/updater-status"
seconds_since "$started" >"$results/seconds"

if wait_until 40 gone "$pedal"; then
    touch "$results/pedal-ended-itself"
    reap "$pedal" 0 >"$results/pedal-status"
else
    reap "$pedal" 10 TERM >"$results/pedal-status"
fi
exit 0
