#!/usr/bin/env bash
# shellcheck disable=SC2317 # the checks are called by name from the loop at the end
# Runs inside the test VM (selftest.sh starts it through run-in-vm.sh): checks that the ALSA
# sequencer and the virtual raw-MIDI ports carry MIDI and SysEx the way the updater's tests need,
# and that Xvfb can serve a windowed program. Only Debian's alsa-utils and x11-utils are used.
#
# Prints one "ok - NAME" or "not ok - NAME" line per check (details of a failure on stderr)
# and exits 0 only when every check passed.
set -euo pipefail

[ "${ALSA_VM_GUEST:-}" = 1 ] || {
    echo "guest-checks.sh: run me through tests/alsa-vm/run-in-vm.sh" >&2
    exit 2
}

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Listeners a check started in the background; ended when the check ends, pass or fail.
background=()
stop_background()
{
    local pid
    for pid in "${background[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}

#==============================================================================
# Helpers

# Waits until FILE has a line matching the extended regex, for at most SECONDS. The guest is
# slow and shares a loaded host, so limits are generous; a pass never waits for them.
wait_for_line()
{
    local file="$1" pattern="$2" seconds="$3" waited=0
    until grep -Eq -- "$pattern" "$file" 2>/dev/null; do
        [ "$waited" -lt $((seconds * 5)) ] || return 1
        sleep 0.2
        waited=$((waited + 1))
    done
}

# Prints the sequencer address (client:port) of the client with the given name.
seq_port()
{
    aseqdump -l | awk -v name="$1" 'substr($0, 10, length(name)) == name { print $1; exit }'
}

# Starts a command in the background with its stdout line-buffered into FILE and its
# stderr into FILE.err.
start_logged()
{
    local file="$1"
    shift
    stdbuf -oL "$@" >"$file" 2>"$file.err" &
    background+=($!)
}

# Prints a hex SysEx message "F0 7D <n bytes> F7" with a repeating 7-bit pattern. 0x7D is the
# id set aside for non-commercial use: nothing here may pretend to be a real device.
sysex_hex()
{
    local n="$1" i byte out="F0 7D"
    # printf -v: no subshell per byte, which the emulated guest would feel.
    for ((i = 0; i < n; i++)); do
        printf -v byte '%02X' $(((i * 7 + 3) % 128))
        out+=" $byte"
    done
    echo "$out F7"
}

#==============================================================================
# Checks

# The sequencer core is up: the kernel's own "Midi Through" client is listed.
check_sequencer_lists_midi_through()
{
    aseqdump -l | grep -q 'Midi Through' || {
        aseqdump -l >&2
        return 1
    }
}

# snd-virmidi gave four raw-MIDI devices, each with a sequencer client of its own.
check_four_virtual_raw_midi_ports()
{
    local n raw seq
    raw="$(amidi -l)"
    seq="$(aseqdump -l)"
    for n in 0 1 2 3; do
        if ! grep -q "hw:0,$n .*Virtual Raw MIDI" <<<"$raw" || ! grep -q "Virtual Raw MIDI 0-$n" <<<"$seq"; then
            printf '%s\n%s\n' "$raw" "$seq" >&2
            return 1
        fi
    done
}

# A SysEx written to a raw-MIDI port comes out of its sequencer port, whole.
check_sysex_from_raw_midi_reaches_sequencer()
{
    local port log="$scratch/aseqdump.log" message
    port="$(seq_port "Virtual Raw MIDI 0-0")"
    message="$(sysex_hex 4)"
    start_logged "$log" aseqdump -p "$port"
    # aseqdump prints this once it has subscribed: sending earlier would be lost.
    wait_for_line "$log" 'Waiting for data' 30 || {
        cat "$log" "$log.err" >&2
        return 1
    }
    timeout 30 amidi -p hw:0,0 -S "$message"
    wait_for_line "$log" "System exclusive +$message" 30 || {
        echo "sent $message, aseqdump saw:" >&2
        cat "$log" >&2
        return 1
    }
}

# Sequencer routing made with aconnect carries a long SysEx from one raw-MIDI port through
# "Midi Through" to another raw-MIDI port, byte for byte: the path a host program and a
# simulated pedal on two virtual ports would use.
check_sysex_routed_between_raw_midi_ports()
{
    local from through to log="$scratch/amidi.log" message received
    from="$(seq_port "Virtual Raw MIDI 0-0")"
    through="$(seq_port "Midi Through")"
    to="$(seq_port "Virtual Raw MIDI 0-1")"
    aconnect "$from" "$through"
    aconnect "$through" "$to"
    # 300 data bytes: longer than one sequencer event carries, so it arrives in pieces.
    message="$(sysex_hex 300)"

    # amidi stops 3 s after the last byte it received.
    start_logged "$log" timeout 60 amidi -p hw:0,1 -d -t 3
    # Bytes routed to a raw-MIDI port nobody has opened are dropped: wait until amidi has it.
    wait_for_line /proc/asound/card0/midi1 'Owner PID' 30 || {
        cat /proc/asound/card0/midi1 >&2
        return 1
    }
    timeout 30 amidi -p hw:0,0 -S "$message"
    wait "${background[-1]}" || true

    # amidi -d prints what it read as hex digits, with line breaks where reads ended.
    received="$(tr -cd '0-9A-F' <"$log")"
    aconnect -d "$through" "$to"
    aconnect -d "$from" "$through"
    local expected="${message// /}"
    [ "$received" = "$expected" ] || {
        echo "sent ${#expected} hex digits: $expected" >&2
        echo "received ${#received} hex digits: $received" >&2
        cat "$log.err" >&2
        return 1
    }
}

# A windowed program can get a display: the updater opens a window.
check_xvfb_serves_a_display()
{
    local log="$scratch/xdpyinfo.log"
    if ! timeout 120 xvfb-run -a xdpyinfo >"$log" 2>&1 || ! grep -q 'dimensions:' "$log"; then
        cat "$log" >&2
        return 1
    fi
}

#==============================================================================

failures=0
for check in \
    check_sequencer_lists_midi_through \
    check_four_virtual_raw_midi_ports \
    check_sysex_from_raw_midi_reaches_sequencer \
    check_sysex_routed_between_raw_midi_ports \
    check_xvfb_serves_a_display; do
    started=$(date +%s%N)
    # Each check runs in a subshell of its own with `set -e`, so a failing step ends that
    # check only (inside an `if` condition bash would ignore `set -e`).
    set +e
    (
        set -e
        trap stop_background EXIT
        "$check"
    )
    status=$?
    set -e
    if [ "$status" -eq 0 ]; then
        result=ok
    else
        result="not ok"
        failures=$((failures + 1))
    fi
    echo "$result - ${check#check_} ($((($(date +%s%N) - started) / 1000000)) ms)"
done
exit $((failures > 0))
