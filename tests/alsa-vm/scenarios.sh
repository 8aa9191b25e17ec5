#!/usr/bin/env bash
# The shipped updater against pedal-sim on a real ALSA sequencer, in one boot of the test VM:
#   1  pedal-sim in its boot loader: the updater, unattended, flashes it and exits 0; pedal-sim
#      comes back in normal operation with revision 1222 and the image checked out;
#   2  the same, with aseqdump recording what the updater sends: the 492 packages are the image,
#      in order, once each, and the probe and revision query have their wire format;
#   3  without pedal-sim the updater exits -1 (255); with pedal-sim in normal operation too,
#      and the pedal keeps its revision;
#   4  pedal-sim restarts slowly (8 s): its ports go, the updater's searches find nothing, the
#      ports come back under a new name, and the updater finds and reads them.
# Prints one PASS/FAIL line per scenario with the seconds it took and the harness's total, and
# exits 0 only when all passed. Registered with CTest as alsa_vm_scenarios (label vm).
#
#   tests/alsa-vm/scenarios.sh --updater FILE --pedal-sim FILE --tap FILE --results DIR [SCENARIO...]
#
# --updater: the shipped firmware-updater; --pedal-sim: pedal-sim; --tap: the SequencerTap
# library (loaded into the updater in scenarios 2 and 4 only); --results: a folder for the
# runs' logs and summary.txt (emptied first). SCENARIO: 1 to 4, default all. The first use
# prepares the VM (prepare.sh: packages, Debian's kernel; about a minute).
# Environment: ALSA_VM_TIMEOUT (default 720 s for the VM run) and the other ALSA_VM_ settings
# of run-in-vm.sh.
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

started_ns=$(date +%s%N)

alsa_vm_scenario_options --tap 4 "$@"

# Transfers are paced by sleeps (about 35 s each with the restart), four of them plus two
# short runs; the emulated guest needs seconds to start each program.
ALSA_VM_TIMEOUT="${ALSA_VM_TIMEOUT:-720}" alsa_vm_scenarios guest-scenarios.sh check_scenarios.py "$results" "$started_ns" \
    "$updater" "$pedal_sim" "$own_file" -- "${scenarios[@]}"
