# shellcheck shell=bash
# Helpers of the scripts that run inside the test VM (guest-scenarios.sh,
# guest-usb-scenarios.sh, tests/windows/guest-wine-update.sh), which source this file.

now_ms()
{
    echo $(($(date +%s%N) / 1000000))
}

# Seconds since STARTED_MS, with one decimal.
seconds_since()
{
    awk -v ms=$(($(now_ms) - $1)) 'BEGIN { printf "%.1f\n", ms / 1000 }'
}

# Polls COMMAND... every 0.2 s until it succeeds, for at most SECONDS.
wait_until()
{
    local seconds="$1" tries
    shift
    for ((tries = seconds * 5; tries > 0; tries--)); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# True once process PID has ended (bash reaps its children as they end).
gone()
{
    ! kill -0 "$1" 2>/dev/null
}

# Waits at most SECONDS for process PID to end; prints its exit status. Sends it SIGNAL
# first when one is given.
reap()
{
    local pid="$1" seconds="$2" signal="${3:-}" status=0
    [ -z "$signal" ] || kill -s "$signal" "$pid" 2>/dev/null
    wait_until "$seconds" gone "$pid" || kill -s KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || status=$?
    echo "$status"
}

# True when a writable sequencer port of exactly this name exists (a pedal's input).
port_listed()
{
    aconnect -o 2>/dev/null | grep -Eq "^ +[0-9]+ '$1 *'$"
}
