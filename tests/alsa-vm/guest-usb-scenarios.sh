#!/usr/bin/env bash
# shellcheck disable=SC2317 # the runs are called by name through carry_out
# Runs inside the test VM, as root (usb-scenarios.sh starts it through run-in-vm.sh with
# ALSA_VM_ROOT=1): pedal-sim as a USB MIDI device (a configfs gadget on dummy_hcd), which the
# kernel's USB audio class driver turns into a sequencer port "<product> MIDI 1", exactly the
# path a real pedal takes on Linux. Gathers what each run left behind; the verdicts are taken
# on the host afterwards (check_usb_scenarios.py).
#
#   guest-usb-scenarios.sh RESULTS UPDATER PEDAL_SIM WINDOW_REPORT [SCENARIO...]
#
# SCENARIO is 1, 2 or 3 (default: all, in that order):
#   1  the shipped updater, unattended, flashes the USB pedal in its boot loader
#   2  the same with block 245 corrupted on the gadget side, after the USB link
#   3  WINDOW_REPORT (the application with the shipped port layer, no --autoupdate) shows
#      what the window offers for the USB pedal in its boot loader
# For each run, RESULTS/<run>/ receives: pedal-sim's report (pedal-report.txt), its record of
# every byte that came over the USB link (wire.syx), pedal.{out,err} and pedal-status; the
# writable sequencer ports before and after the update (ports-before.txt, ports-after.txt,
# as `aconnect -o` prints them); the kernel's log of the run (kernel.txt: the USB device
# coming, going and coming back); the gadget's product string at the end (gadget-product);
# updater-status, updater.{out,err} and updater-user (who ran it) for runs 1 and 2;
# window.txt and window.png for run 3; seconds (wall time of the run); and error, if the
# run could not be carried out. Every step has a time limit; the script always exits 0 once
# RESULTS/finished exists.
set -uo pipefail

if [ "${ALSA_VM_GUEST:-}" != 1 ] || [ $# -lt 4 ] || [ "$(id -u)" -ne 0 ]; then
    echo "guest-usb-scenarios.sh: run me through tests/alsa-vm/usb-scenarios.sh" >&2
    exit 2
fi

results="$1"
updater="$2"
pedal_sim="$3"
window_report="$4"
shift 4
wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=(1 2 3)

# The transfer is paced by sleeps (about 20 s), the restart and re-enumeration take about
# 6 s, and a JUCE application needs seconds to start in the emulated guest.
updater_limit_s=150
# The gadget pedal-sim makes, and snd-usbmidi's name for the port of a device that has no
# jack strings: "<product> MIDI 1".
gadget=/sys/kernel/config/usb_gadget/verrano2-sim
boot_port="Verrano2 Boot MIDI 1"
# An unprivileged user for the updater: it needs only the sequencer (/dev/snd/seq, open to
# all here as to a desktop's seated user), never the USB device's own nodes (root-only here).
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp)

# shellcheck source=tests/alsa-vm/guest-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/guest-common.sh"

fail_run()
{
    echo "$*" >>"$run/error"
    return 1
}

#==============================================================================

# pedal-sim as the USB pedal, with the given options; returns once the host side lists the
# pedal's port.
start_pedal()
{
    dmesg -C
    "$pedal_sim" --usb-gadget --report "$run/pedal-report.txt" --record "$run/wire.syx" "$@" \
        >"$run/pedal.out" 2>"$run/pedal.err" &
    pedal=$!
    wait_until 60 port_listed "$boot_port" ||
        fail_run "the host did not list \"$boot_port\" within 60 s: $(cat "$run/pedal.err")" || return 1
    aconnect -o >"$run/ports-before.txt"
}

stop_pedal()
{
    aconnect -o >"$run/ports-after.txt"
    cat "$gadget/strings/0x409/product" >"$run/gadget-product" 2>/dev/null
    # pedal-sim writes its final report, unplugs and removes the gadget on SIGTERM.
    reap "$pedal" 30 TERM >"$run/pedal-status"
    dmesg >"$run/kernel.txt"
}

run_updater()
{
    local status=0 user=(env)
    if "${nobody[@]}" test -x "$updater"; then
        user=("${nobody[@]}")
        echo "uid 65534" >"$run/updater-user"
    else
        echo "root (the updater is out of an unprivileged user's reach)" >"$run/updater-user"
    fi
    "${user[@]}" timeout -k 5 "$updater_limit_s" "$updater" --autoupdate >"$run/updater.out" 2>"$run/updater.err" ||
        status=$?
    echo "$status" >"$run/updater-status"
}

run_flash()
{
    start_pedal --mode boot "$@" || return 1
    run_updater
    stop_pedal
}

run_window()
{
    start_pedal --mode boot || return 1
    WINDOW_REPORT="$run/window.txt" WINDOW_SNAPSHOT="$run/window.png" \
        timeout -k 5 "$updater_limit_s" "$window_report" >"$run/window.out" 2>&1
    echo $? >"$run/window-status"
    stop_pedal
}

carry_out()
{
    local name="$1" started
    shift
    run="$results/$name"
    rm -rf "$run"
    mkdir -p "$run"
    started=$(now_ms)
    "$@"
    if [ -n "${pedal:-}" ] && ! gone "$pedal"; then
        reap "$pedal" 30 TERM >/dev/null
    fi
    pedal=""
    seconds_since "$started" >"$run/seconds"
}

#==============================================================================

mkdir -p "$results"
rm -f "$results/finished" "$results/error"
x_started=$(now_ms)
if start_x_server; then
    seconds_since "$x_started" >"$results/x-seconds"
    for scenario in "${wanted[@]}"; do
        case "$scenario" in
            1) carry_out flash run_flash ;;
            2) carry_out corrupt run_flash --config corrupt-block=245 ;;
            3) carry_out window run_window ;;
            *) echo "unknown scenario $scenario" >>"$results/error" ;;
        esac
    done
    kill "$x_server" 2>/dev/null
fi
touch "$results/finished"
exit 0
