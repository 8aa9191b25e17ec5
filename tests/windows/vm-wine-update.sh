#!/usr/bin/env bash
# The Windows updater flashes pedal-sim through Windows' MIDI, in one boot of the ALSA test
# VM: the .exe runs under Wine, whose winealsa driver maps WinMM onto the VM's real ALSA
# sequencer, where the Linux pedal-sim offers "Verrano2 Boot". Passes when the updater, run
# unattended, brings the pedal to revision 1222 with its image check passed, and the
# messages that reached the pedal were the probe, the 492 packages of the image byte for
# byte, in order and once each, then the restarted pedal's probe and revision query.
# Prints one PASS/FAIL line with what was seen; registered with CTest as windows_vm_update.
#
#   tests/windows/vm-wine-update.sh --updater EXE --lister EXE --pedal-sim FILE \
#       --prefix WINEPREFIX --results DIR
#
# --updater: the Windows firmware-updater.exe; --lister: midi-ports.exe (lists the MIDI
# ports as the updater's port layer sees them); --pedal-sim: the Linux pedal-sim;
# --prefix: a Wine prefix made on the host (tests/windows/wine-run.sh --init), used
# read-write inside the VM through its RAM overlay, so the host's copy stays as it was.
# The first use prepares the VM (tests/alsa-vm/prepare.sh: packages, Debian's kernel).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
vm="$here/../alsa-vm"
updater="" lister="" pedal_sim="" prefix="" results=""
while [ $# -gt 0 ]; do
    case "$1" in
        --updater) updater="$2" && shift 2 ;;
        --lister) lister="$2" && shift 2 ;;
        --pedal-sim) pedal_sim="$2" && shift 2 ;;
        --prefix) prefix="$2" && shift 2 ;;
        --results) results="$2" && shift 2 ;;
        *) sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2 && exit 2 ;;
    esac
done
for file in "$updater" "$lister" "$pedal_sim"; do
    [ -f "$file" ] || {
        echo "vm-wine-update: no such file: '$file'" >&2
        exit 2
    }
done
[ -n "$prefix" ] && [ -n "$results" ] || exit 2
started_ns=$(date +%s%N)

rm -rf "$results"
mkdir -p "$results"
results="$(cd "$results" && pwd -P)"
wine_run=("$here/wine-run.sh" --prefix "$prefix")

"$vm/prepare.sh"
"${wine_run[@]}" --init

# -cpu max,-smap: with SMAP emulated, qemu 7.2's TCG crashes the guest kernel as Wine starts.
vm_status=0
ALSA_VM_CPU="max,-smap" ALSA_VM_TIMEOUT="${ALSA_VM_TIMEOUT:-420}" ALSA_VM_RW="$results" \
    "$vm/run-in-vm.sh" "$here/guest-wine-update.sh" "$results" "$updater" "$lister" "$pedal_sim" \
    "${wine_run[@]}" >"$results/vm.out" 2>"$results/vm.err" || vm_status=$?

if [ ! -f "$results/finished" ]; then
    echo "vm-wine-update: the run did not finish inside the VM (run-in-vm.sh status $vm_status)"
    sed 's/^/  | /' "$results/vm.out" "$results/vm.err"
fi

python3 "$here/check_wine_update.py" "$results" --harness-started-ns "$started_ns"
