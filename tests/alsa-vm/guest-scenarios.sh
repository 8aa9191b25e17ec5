#!/usr/bin/env bash
# shellcheck disable=SC2317 # the runs are called by name through carry_out
# Runs inside the test VM (scenarios.sh starts it through run-in-vm.sh): the shipped updater,
# unattended ("--autoupdate"), against pedal-sim on the VM's real ALSA sequencer, under one
# Xvfb server for the updater's window. Gathers what each run left behind; the verdicts are
# taken on the host afterwards (check_scenarios.py).
#
#   guest-scenarios.sh RESULTS UPDATER PEDAL_SIM TAP_LIBRARY [SCENARIO...]
#
# SCENARIO is 1, 2, 3 or 4 (default: all, in that order):
#   1  pedal-sim in its boot loader ("Verrano2 Boot"); the updater flashes it
#   2  the same, with aseqdump recording everything the updater sends (through the tap
#      library) and the sequencer's announcements of ports coming and going
#   3  no pedal-sim at all; then pedal-sim in normal operation ("Verrano2")
#   4  pedal-sim restarting slowly (8 s) after the image, recorded like 2
# For each run, RESULTS/<run>/ receives: updater-status and updater.{out,err}; the pedal's
# report (pedal-report.txt), pedal.{out,err} and pedal-status; the writable sequencer ports
# before and after the update (ports-before.txt, ports-after.txt, as `aconnect -o` prints
# them); for recorded runs recording.txt (aseqdump's output) and recorder (its address);
# seconds (wall time of the run); pedal-ended-itself when pedal-sim (--exit-after-update in
# run 1) ended on its own; and error, if the run could not be carried out.
# Every step has a time limit; the script itself always exits 0 once RESULTS/finished exists.
set -uo pipefail

if [ "${ALSA_VM_GUEST:-}" != 1 ] || [ $# -lt 4 ]; then
    echo "guest-scenarios.sh: run me through tests/alsa-vm/scenarios.sh" >&2
    exit 2
fi

results="$1" updater="$2" pedal_sim="$3" tap="$4"
shift 4
wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=(1 2 3 4)

# The updater's transfer is paced by sleeps (about 20 s) and its reconnection may take another
# 30 s; starting a JUCE application in the emulated guest takes seconds. Generous, so a slow
# host never turns into a false failure, yet a hang still ends well within the VM's limit.
updater_limit_s=150
# The pedal's name in its two programs, as its ports show it.
boot_name="Verrano2 Boot"
normal_name="Verrano2"

# shellcheck source=tests/alsa-vm/guest-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/guest-common.sh"

#==============================================================================
# Pieces of a run. Each writes into $run, the run's result folder, and returns non-zero with
# the reason in $run/error (fail_run) when the run cannot go on.

# aseqdump listening to the sequencer's announcements (ports and clients coming and going,
# subscriptions); the tap adds the updater's outgoing messages to the same stream, so both
# arrive in the order the sequencer delivered them.
start_recorder()
{
    stdbuf -oL aseqdump -p 0:1 >"$run/recording.txt" 2>"$run/recording.err" &
    recorder=$!
    background+=("$recorder")
    wait_until 30 grep -q 'Waiting for data' "$run/recording.txt" ||
        fail_run "aseqdump did not start: $(cat "$run/recording.err")" || return 1
    local address
    address="$(aconnect -o | awk '/^client [0-9]+: .aseqdump. / { sub(":", "", $2); print $2 ":0"; exit }')"
    [ -n "$address" ] || fail_run "aseqdump's port is not listed" || return 1
    echo "$address" >"$run/recorder"
}

stop_recorder()
{
    # Announcements of the last ports going away still come in after the updater has ended.
    sleep 1
    reap "$recorder" 10 TERM >/dev/null
}

stop_pedal()
{
    aconnect -o >"$run/ports-after.txt"
    # pedal-sim writes its final report and exits on SIGTERM.
    reap "$pedal" 20 TERM >"$run/pedal-status"
}

# The shipped updater, unattended, with any NAME=VALUE settings given.
run_updater()
{
    local status=0
    env "$@" timeout -k 5 "$updater_limit_s" "$updater" --autoupdate >"$run/updater.out" 2>"$run/updater.err" ||
        status=$?
    echo "$status" >"$run/updater-status"
}

# A recorded run: the tap joins the updater's outgoing messages to the recording.
# ASAN_OPTIONS: a sanitizer build would refuse a preloaded library ahead of its runtime.
run_updater_recorded()
{
    run_updater LD_PRELOAD="$tap" SEQUENCER_TAP="$(cat "$run/recorder")" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
}

#==============================================================================
# The runs

# pedal-sim ends by itself here, once the restarted pedal has been asked for its revision.
run_flash()
{
    launch_pedal "$boot_name" --mode boot --exit-after-update || return 1
    run_updater
    if wait_until 10 gone "$pedal"; then
        touch "$run/pedal-ended-itself"
    fi
    stop_pedal
}

run_flash_recorded()
{
    start_recorder || return 1
    launch_pedal "$boot_name" --mode boot "$@" || return 1
    run_updater_recorded
    stop_pedal
    stop_recorder
}

run_without_pedal()
{
    aconnect -o >"$run/ports-before.txt"
    run_updater
}

run_normal_operation()
{
    launch_pedal "$normal_name" --mode normal || return 1
    run_updater
    stop_pedal
}

#==============================================================================

scenario()
{
    case "$1" in
        1) carry_out flash run_flash ;;
        2) carry_out wire run_flash_recorded ;;
        3)
            carry_out no-pedal run_without_pedal
            carry_out normal run_normal_operation
            ;;
        4) carry_out restart run_flash_recorded --config restart-ms=8000 ;;
        *) echo "unknown scenario $1" >>"$results/error" ;;
    esac
}

run_scenarios "${wanted[@]}"
exit 0
