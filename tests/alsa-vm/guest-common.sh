# shellcheck shell=bash disable=SC2034,SC2154 # $results, $run and x_server are shared with the sourcing scripts
# Helpers of the scripts that run inside the test VM (guest-scenarios.sh,
# guest-usb-scenarios.sh, tests/windows/guest-wine-update.sh), which source this file.
# The runs' helpers at the end (fail_run, background, note_event, carry_out, run_scenarios)
# write into $run, the current run's result folder, and expect $results.

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

# The X server for the programs' windows, one for all runs: sets x_server (its process) and
# exports DISPLAY. -displayfd picks a free display and says which once it accepts
# connections, so no lock file of the host's /tmp can get in the way. Writes RESULTS/
# x-display and xvfb.log, and RESULTS/error when it does not start.
start_x_server()
{
    local display_file="$results/x-display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >"$results/xvfb.log" 2>&1 &
    x_server=$!
    if ! wait_until 60 test -s "$display_file"; then
        echo "Xvfb did not start within 60 s" >>"$results/error"
        cat "$results/xvfb.log" >>"$results/error"
        return 1
    fi
    DISPLAY=":$(tr -dc '0-9' <"$display_file")"
    export DISPLAY
}

#==============================================================================
# Runs: each one in a result folder of its own, timed, with what it left running ended.

# Notes REASON in the run's error file and fails, so that `step || fail_run ... || return 1`
# ends the run.
fail_run()
{
    echo "$*" >>"$run/error"
    return 1
}

# Background processes of the current run; carry_out ends them (SIGTERM, then at most 30 s
# each before SIGKILL) when the run is over, and so does the script's end.
background=()
stop_background()
{
    local pid
    for pid in "${background[@]}"; do
        gone "$pid" || reap "$pid" 30 TERM >/dev/null
    done
    background=()
}
trap stop_background EXIT

# pedal-sim with OPTION..., in the background ($pedal, ended with the run's other background
# processes), its report, output and errors in the run's folder; returns once its port PORT
# is listed, after listing the writable ports then (ports-before.txt).
launch_pedal()
{
    local port="$1"
    shift
    "$pedal_sim" --report "$run/pedal-report.txt" "$@" >"$run/pedal.out" 2>"$run/pedal.err" &
    pedal=$!
    background+=("$pedal")
    wait_until 60 port_listed "$port" ||
        fail_run "pedal-sim's port \"$port\" did not appear within 60 s: $(cat "$run/pedal.err")" || return 1
    aconnect -o >"$run/ports-before.txt"
}

# Appends NAME and the seconds since the run began to the run's events file.
note_event()
{
    echo "$1 $(seconds_since "$run_started")" >>"$run/events"
}

# Runs COMMAND... in a fresh result folder RESULTS/NAME, ends what it left running (and
# calls end_run when the script defines one), and writes the run's seconds.
carry_out()
{
    local name="$1"
    shift
    run="$results/$name"
    rm -rf "$run"
    mkdir -p "$run"
    run_started=$(now_ms)
    "$@"
    stop_background
    if declare -F end_run >/dev/null; then
        end_run
    fi
    seconds_since "$run_started" >"$run/seconds"
}

# The scenario scripts' main part: one X server for all runs, then each SCENARIO in turn
# through the function `scenario`, which the script defines; RESULTS/finished at the end.
run_scenarios()
{
    local x_started scenario
    mkdir -p "$results"
    rm -f "$results/finished" "$results/error"
    x_started=$(now_ms)
    if start_x_server; then
        seconds_since "$x_started" >"$results/x-seconds"
        for scenario in "$@"; do
            scenario "$scenario"
        done
        kill "$x_server" 2>/dev/null
    fi
    touch "$results/finished"
}
