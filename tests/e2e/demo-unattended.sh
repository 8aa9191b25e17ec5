#!/usr/bin/env bash
# Runs the demo build unattended against its in-process simulated pedal and checks
# the exit code, the run time and what the pedal's report says afterwards.
#
#   demo-unattended.sh [--via COMMAND... --] BINARY EXPECTED_EXIT MAX_SECONDS [CHECK ...]
#
# The pedal's settings come from PEDAL_SIM (see tools/pedal/PedalConfig.h). Each
# KEY=REGEX must match a whole line "KEY=value" of the pedal's final report; KEY>=NUMBER
# and KEY<NUMBER bound a number there (an empty value, nothing measured, fails);
# stderr=REGEX must match the whole of the updater's own line on standard error. A
# failed run must say why in exactly one line of its own on standard error, a good
# one none. BINARY runs under xvfb-run, or through COMMAND (the Windows build's runs
# give Wine's, which brings its own display).
set -uo pipefail

launcher=(xvfb-run -a -s "-screen 0 1024x768x24")
if [ "${1:-}" = --via ]; then
    launcher=()
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        launcher+=("$1")
        shift
    done
    shift
fi
binary="$1" expected="$2" max_seconds="$3"
shift 3

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export PEDAL_SIM_REPORT="$work/pedal-report.txt"

start=$(date +%s%N)
"${launcher[@]}" "$binary" --autoupdate 2>"$work/stderr.txt"
code=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
elapsed="$((elapsed_ms / 1000)).$(printf %03d $((elapsed_ms % 1000)))"

echo "pedal settings: ${PEDAL_SIM:-<default>}"
echo "exit code: $code (expected $expected), ${elapsed} s (at most ${max_seconds} s)"
echo "--- pedal report"
cat "$PEDAL_SIM_REPORT" 2>/dev/null || echo "(no report written)"
echo "---"

failed=0
if [ "$code" -ne "$expected" ]; then
    echo "FAIL: exit code $code, expected $expected"
    failed=1
fi
if [ "$elapsed_ms" -gt $((max_seconds * 1000)) ]; then
    echo "FAIL: took ${elapsed} s, more than ${max_seconds} s"
    failed=1
fi
for check in "$@"; do
    if [[ "$check" =~ ^([a-z0-9.-]+)(\>=|\<)([0-9.]+)$ ]]; then
        key="${BASH_REMATCH[1]}" op="${BASH_REMATCH[2]}" bound="${BASH_REMATCH[3]}"
        value="$(sed -n "s/^${key}=//p" "$PEDAL_SIM_REPORT" 2>/dev/null | head -n 1)"
        if ! awk -v v="$value" -v b="$bound" -v op="$op" \
            'BEGIN { if (v !~ /^[0-9]+(\.[0-9]+)?$/) exit 1; exit !(op == ">=" ? v + 0 >= b + 0 : v + 0 < b + 0) }'; then
            echo "FAIL: report line $key=${value} is not ${op} ${bound}"
            failed=1
        fi
        continue
    fi
    key="${check%%=*}" pattern="${check#*=}"
    if [ "$key" = stderr ]; then
        if ! grep -Eq "^$(basename "$binary" .exe): (${pattern})\$" "$work/stderr.txt"; then
            echo "FAIL: no line of the updater's own on stderr matches /${pattern}/"
            failed=1
        fi
        continue
    fi
    if ! grep -Eq "^${key}=(${pattern})\$" "$PEDAL_SIM_REPORT" 2>/dev/null; then
        echo "FAIL: report line $key does not match /${pattern}/: $(grep -E "^${key}=" "$PEDAL_SIM_REPORT" 2>/dev/null)"
        failed=1
    fi
done
own_lines=$(grep -c "^$(basename "$binary" .exe): " "$work/stderr.txt")
if { [ "$expected" -eq 0 ] && [ "$own_lines" -ne 0 ]; } || { [ "$expected" -ne 0 ] && [ "$own_lines" -ne 1 ]; }; then
    echo "FAIL: $own_lines lines of the updater's own on stderr"
    failed=1
fi
if [ -s "$work/stderr.txt" ]; then
    echo "--- stderr"
    cat "$work/stderr.txt"
fi

[ $failed -eq 0 ] && echo "PASS"
exit $failed
