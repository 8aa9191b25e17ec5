#!/usr/bin/env bash
# The shipped updater against pedal-sim as a USB MIDI device, in one boot of the test VM: the
# pedal is a configfs gadget on dummy_hcd, so the updater meets it through Linux's USB audio
# class driver as "Verrano2 Boot MIDI 1", and the pedal's restart is a USB disconnect and a
# new enumeration under the product string "Verrano2" (or "Verrano2 Boot" again).
#   1  the updater, unattended, flashes the USB pedal: exit 0, the pedal at 1222 with its
#      image check passed; what came over the USB link, recorded on the pedal's side, is the
#      image byte for byte (492 packages, in order, once each) between the probes and the
#      revision query;
#   2  block 245 corrupted on the pedal's side of the link: the updater exits -1 (255), the
#      pedal comes back in its boot loader, and the link itself carried the image intact;
#   3  the updater's window (no --autoupdate) shows "Device: Verrano2 Boot MIDI 1" and
#      enables "update";
#   4  the cable pulled mid-transfer (the host's hub port switched off) and plugged back
#      3 s later: the pedal, still in its boot loader with half an image, comes back and
#      answers revision 0; the updater exits -1 saying so;
#   5  the cable pulled mid-transfer and left out: the updater searches for the pedal's
#      return, then exits -1 saying it did not come back;
#   6  the window: the cable pulled mid-transfer and plugged back; the window shows the
#      failure with "update" enabled, and a second press updates the pedal to 1222.
# Prints one PASS/FAIL line per scenario with the seconds it took and the harness's total,
# and exits 0 only when all passed. Registered with CTest as alsa_vm_usb_scenarios (label vm).
#
#   tests/alsa-vm/usb-scenarios.sh --updater FILE --pedal-sim FILE --window-report FILE --results DIR [SCENARIO...]
#
# --updater: the shipped firmware-updater; --pedal-sim: pedal-sim; --window-report: the
# updater_window_report test program; --results: a folder for the runs' logs and summary.txt
# (emptied first). SCENARIO: 1 to 7, default all. The first use prepares the VM (prepare.sh).
# Environment: ALSA_VM_TIMEOUT (default 720 s for the VM run) and the other ALSA_VM_ settings
# of run-in-vm.sh.
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

started_ns=$(date +%s%N)

alsa_vm_scenario_options --window-report 7 "$@"

# Making a USB gadget takes root inside the VM (the VM's root, not the host's). The runs
# take 5 to 6 minutes on a busy host (the window's two updates alone about 2).
ALSA_VM_ROOT=1 ALSA_VM_TIMEOUT="${ALSA_VM_TIMEOUT:-720}" alsa_vm_scenarios guest-usb-scenarios.sh check_usb_scenarios.py "$results" "$started_ns" \
    "$updater" "$pedal_sim" "$own_file" -- "${scenarios[@]}"
