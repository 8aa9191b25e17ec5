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
# SCENARIO is 1 to 7 (default: all, in that order):
#   1  the shipped updater, unattended, flashes the USB pedal in its boot loader
#   2  the same with block 245 corrupted on the gadget side, after the USB link
#   3  WINDOW_REPORT (the application with the shipped port layer, no --autoupdate) shows
#      what the window offers for the USB pedal in its boot loader
#   4  unattended; the cable is pulled mid-transfer and plugged back 3 s later
#   5  unattended; the cable is pulled mid-transfer and left out
#   6  WINDOW_REPORT presses "update"; the cable is pulled mid-transfer and plugged back 3 s
#      later; then it presses "update" again
#   7  the shipped updater's --list with the USB pedal in its boot loader
# The cable is pulled on the host's side: the hub port the pedal is plugged into is switched
# off (its `disable` file in sysfs), which the kernel takes as a USB disconnect, and on again,
# which makes a fresh enumeration; the gadget stays bound all along, like a pedal on its own
# power supply, and pedal-sim never learns of it.
# For each run, RESULTS/<run>/ receives: pedal-sim's report (pedal-report.txt), its record of
# every byte that came over the USB link (wire.syx), pedal.{out,err} and pedal-status; the
# writable sequencer ports before and after the update (ports-before.txt, ports-after.txt,
# as `aconnect -o` prints them); the kernel's log of the run (kernel.txt: the USB device
# coming, going and coming back); the gadget's product string at the end (gadget-product);
# updater-status, updater.{out,err} and updater-user (who ran it) for the unattended runs;
# window.txt and window.png for the window's runs; events (when the cable was pulled, when
# the kernel was done with the disconnect, when the cable was plugged back and when the
# updater ended, in seconds since the run began) and usb-port
# (the hub port's sysfs folder) for the runs that pull it; seconds (wall time of the run);
# and error, if the run could not be carried out. Every step has a time limit; the script
# always exits 0 once RESULTS/finished exists.
set -uo pipefail

if [ "${ALSA_VM_GUEST:-}" != 1 ] || [ $# -lt 4 ] || [ "$(id -u)" -ne 0 ]; then
    echo "guest-usb-scenarios.sh: run me through tests/alsa-vm/usb-scenarios.sh" >&2
    exit 2
fi

results="$1" updater="$2" pedal_sim="$3" window_report="$4"
shift 4
wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=(1 2 3 4 5 6 7)

# The transfer is paced by sleeps (about 20 s), the restart and re-enumeration take about
# 6 s, the searches for a pedal that stays away about 36 s, and a JUCE application needs
# seconds to start in the emulated guest. The window's update also waits 20 s for the boot
# loader's erase and paces more slowly (about 45 s each), and run 6 makes two.
updater_limit_s=150
window_limit_s=360
# The cable is pulled once this many packages reached the pedal (of 492: mid-transfer), and
# plugged back after this many seconds.
cut_after_packages=200
unplugged_s=3
# The gadget pedal-sim makes, and snd-usbmidi's name for the port of a device that has no
# jack strings: "<product> MIDI 1".
gadget=/sys/kernel/config/usb_gadget/verrano2-sim
boot_name="Verrano2 Boot"
boot_port="$boot_name MIDI 1"
# An unprivileged user for the updater: it needs only the sequencer (/dev/snd/seq, open to
# all here as to a desktop's seated user), never the USB device's own nodes (root-only here).
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp)

# shellcheck source=tests/alsa-vm/guest-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/guest-common.sh"

#==============================================================================

# pedal-sim as the USB pedal, with the given options; returns once the host side lists the
# pedal's port.
start_pedal()
{
    dmesg -C
    launch_pedal "$boot_port" --usb-gadget --record "$run/wire.syx" "$@"
}

stop_pedal()
{
    aconnect -o >"$run/ports-after.txt"
    cat "$gadget/strings/0x409/product" >"$run/gadget-product" 2>/dev/null
    # pedal-sim writes its final report, unplugs and removes the gadget on SIGTERM.
    reap "$pedal" 30 TERM >"$run/pedal-status"
    dmesg >"$run/kernel.txt"
}

# The shipped updater, unattended, in the background (updater_job); writes updater-status
# and notes the event updater-ended when it is over.
start_updater()
{
    local user=(env)
    if "${nobody[@]}" test -x "$updater"; then
        user=("${nobody[@]}")
        echo "uid 65534" >"$run/updater-user"
    else
        echo "root (the updater is out of an unprivileged user's reach)" >"$run/updater-user"
    fi
    {
        status=0
        "${user[@]}" timeout -k 5 "$updater_limit_s" "$updater" --autoupdate >"$run/updater.out" \
            2>"$run/updater.err" || status=$?
        note_event updater-ended
        echo "$status" >"$run/updater-status"
    } &
    updater_job=$!
}

# WINDOW_REPORT in the background (window_job), pressing "update" as often as given.
start_window()
{
    {
        WINDOW_PRESSES="$1" WINDOW_REPORT="$run/window.txt" WINDOW_SNAPSHOT="$run/window.png" \
            timeout -k 5 "$window_limit_s" "$window_report" >"$run/window.out" 2>&1
        echo $? >"$run/window-status"
    } &
    window_job=$!
}

#==============================================================================
# The cable

# The hub port the pedal is plugged into, as a sysfs folder that outlives the device: found
# through the USB device that carries the pedal's product string, since bus and port numbers
# follow the controllers the kernel has.
usb_port=""
find_usb_port()
{
    local device
    for device in /sys/bus/usb/devices/*; do
        if [ -e "$device/port/disable" ] && [ "$(cat "$device/product" 2>/dev/null)" = "$boot_name" ]; then
            usb_port="$(readlink -f "$device/port")"
            echo "$usb_port" >"$run/usb-port"
            return 0
        fi
    done
    return 1
}

# True once pedal-sim's report counts at least N packages (bash alone: no program to start).
packages_reached()
{
    local key value
    while IFS="=" read -r key value; do
        if [ "$key" = packages ]; then
            [ "$value" -ge "$1" ]
            return
        fi
    done 2>/dev/null <"$run/pedal-report.txt"
    return 1
}

# Pulls the cable once the pedal has counted cut_after_packages packages, while JOB (the
# updater or the window) still runs.
pull_cable_mid_transfer()
{
    local job="$1"
    find_usb_port || fail_run "no USB device with the product \"$boot_name\" and a hub port" || return 1
    # The guest's one CPU is busy drawing the updater's window during the transfer, so the
    # watch starts no program: polling with sed and sleep, the pull once came after 477
    # packages instead of 200 (and run ahead of the others with renice -10, the watch once
    # saw 8 packages lost on the link before the pull). read -t on a pipe nobody writes is
    # its pause (a FIFO: the guest's /dev has no /dev/fd for a process substitution).
    local tries silent fifo=/tmp/alsa-vm-silence
    [ -p "$fifo" ] || mkfifo "$fifo"
    exec {silent}<>"$fifo"
    for ((tries = 750; tries > 0; tries--)); do
        packages_reached "$cut_after_packages" || gone "$job" && break
        read -r -t 0.2 -u "$silent"
    done
    exec {silent}<&-
    gone "$job" && { fail_run "the updater ended before $cut_after_packages packages reached the pedal"; return 1; }
    packages_reached "$cut_after_packages" ||
        fail_run "$cut_after_packages packages did not reach the pedal within 150 s" || return 1
    # The write returns once the kernel has dealt with the disconnect, which now and then
    # takes 10 s (snd-usbmidi waits for the output it still holds to drain, then logs
    # "rawmidi drain error"): the pull is when the write begins.
    note_event cable-pulled
    pulled_ms=$(now_ms)
    echo 1 >"$usb_port/disable" || fail_run "cannot switch off $usb_port" || return 1
    note_event disconnect-done
}

# Plugs the cable back unplugged_s after the pull, or at once if the disconnect took longer.
plug_cable_back()
{
    local left_ms=$((unplugged_s * 1000 - ($(now_ms) - pulled_ms)))
    if [ "$left_ms" -gt 0 ]; then
        sleep "$(awk -v ms="$left_ms" 'BEGIN { printf "%.3f\n", ms / 1000 }')"
    fi
    echo 0 >"$usb_port/disable" || fail_run "cannot switch on $usb_port" || return 1
    note_event cable-back
}

# After every run: a port left off would keep the next run's pedal away.
end_run()
{
    if [ -n "$usb_port" ] && [ "$(cat "$usb_port/disable" 2>/dev/null)" != 0 ]; then
        echo 0 >"$usb_port/disable"
    fi
    usb_port=""
}

#==============================================================================
# The runs

run_flash()
{
    start_pedal --mode boot "$@" || return 1
    start_updater
    wait "$updater_job"
    stop_pedal
}

# What --list says of the system, as the unattended runs' user (list.out, list.err,
# list-status).
run_list()
{
    start_pedal --mode boot || return 1
    local user=(env)
    "${nobody[@]}" test -x "$updater" && user=("${nobody[@]}")
    status=0
    "${user[@]}" timeout -k 5 60 "$updater" --list >"$run/list.out" 2>"$run/list.err" || status=$?
    echo "$status" >"$run/list-status"
    stop_pedal
}

run_window()
{
    start_pedal --mode boot || return 1
    start_window 0
    wait "$window_job"
    stop_pedal
}

# The cable pulled mid-transfer; plugged back after unplugged_s unless the argument is
# "left-out". The updater is waited for either way.
run_pulled_cable()
{
    start_pedal --mode boot || return 1
    start_updater
    if pull_cable_mid_transfer "$updater_job" && [ "${1:-}" != left-out ]; then
        plug_cable_back
    fi
    wait "$updater_job"
    stop_pedal
}

run_window_pulled_cable()
{
    start_pedal --mode boot || return 1
    start_window 2
    if pull_cable_mid_transfer "$window_job"; then
        plug_cable_back
    fi
    wait "$window_job"
    stop_pedal
}

#==============================================================================

scenario()
{
    case "$1" in
        1) carry_out flash run_flash ;;
        2) carry_out corrupt run_flash --config corrupt-block=245 ;;
        3) carry_out window run_window ;;
        4) carry_out pulled-back run_pulled_cable ;;
        5) carry_out pulled-out run_pulled_cable left-out ;;
        6) carry_out window-pulled run_window_pulled_cable ;;
        7) carry_out list run_list ;;
        *) echo "unknown scenario $1" >>"$results/error" ;;
    esac
}

run_scenarios "${wanted[@]}"
exit 0
