#!/usr/bin/env bash
# Proves the ALSA test VM works on this machine, with Debian's alsa-utils and x11-utils only:
#   1. inside the VM the sequencer lists "Midi Through", the four virtual raw-MIDI ports exist,
#      a SysEx sent with amidi reaches aseqdump, aconnect routing carries a long SysEx between
#      two raw-MIDI ports byte for byte, and xvfb-run gives xdpyinfo a display (guest-checks.sh);
#   2. run-in-vm.sh hands over the working folder, the environment and awkward arguments, keeps
#      stdout and stderr apart, passes the exit status back, and lets ALSA_VM_RW folders be
#      written;
#   3. a command that hangs ends with status 124 near ALSA_VM_TIMEOUT.
# Three VM boots; prepares the cache first if needed. Prints one PASS/FAIL line with the time
# taken (details above it on failure) and exits 0 only on PASS.
#
#   tests/alsa-vm/selftest.sh
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

started=$(date +%s%N)
scratch="$(mktemp -d "${TMPDIR:-/tmp}/alsa-vm-selftest.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
report="$scratch/report"
: >"$report"
passed=0
failed=0

record()
{
    local name="$1" ok="$2"
    if [ "$ok" = 1 ]; then
        passed=$((passed + 1))
        echo "ok - $name" >>"$report"
    else
        failed=$((failed + 1))
        echo "not ok - $name" >>"$report"
    fi
}

# Runs run-in-vm.sh from this folder; leaves stdout, stderr and status in $scratch/NAME.*.
vm()
{
    local name="$1"
    shift
    local status=0
    (cd "$ALSA_VM_DIR" && "$@") >"$scratch/$name.out" 2>"$scratch/$name.err" || status=$?
    echo "$status" >"$scratch/$name.status"
}

# Adds a run's output to the report, for reading when something failed.
attach()
{
    local name="$1"
    {
        echo "  -- $name: status $(cat "$scratch/$name.status"); stdout:"
        sed 's/^/  | /' "$scratch/$name.out"
        echo "  -- $name: stderr:"
        sed 's/^/  | /' "$scratch/$name.err"
    } >>"$report"
}

# The first use downloads and builds; keep that out of the VM runs' own limits.
"$ALSA_VM_DIR/prepare.sh"

#==============================================================================
# 1. ALSA and Xvfb inside the VM

vm alsa ./run-in-vm.sh ./guest-checks.sh
while IFS= read -r line; do
    case "$line" in
        "ok - "*) record "guest: ${line#ok - }" 1 ;;
        "not ok - "*) record "guest: ${line#not ok - }" 0 ;;
    esac
done <"$scratch/alsa.out"
# All five guest checks must have reported: a VM that died early prints fewer.
guest_ok=0
[ "$(cat "$scratch/alsa.status")" = 0 ] && [ "$(grep -c '^ok - ' "$scratch/alsa.out")" -eq 5 ] && guest_ok=1
record "guest checks all ran and passed (status $(cat "$scratch/alsa.status"))" "$guest_ok"
[ "$guest_ok" = 1 ] || attach alsa

#==============================================================================
# 2. What run-in-vm.sh carries into and out of the VM

rw="$(mktemp -d "$scratch/rw.XXXXXX")"
token=$'two words, \'quotes\', a $dollar, a `tick` and a\nsecond line'
export UPDATER_VM_SELFTEST_TOKEN="$token"
# shellcheck disable=SC2016 # the script is for the guest's bash
vm plumbing env ALSA_VM_RW="$rw" ./run-in-vm.sh bash -c '
    pwd
    printf "%s\n" "$UPDATER_VM_SELFTEST_TOKEN"
    printf "<%s>" "$@"; echo
    id -u
    echo written >"$0/from-guest"
    echo to-stderr >&2
    exit 7' "$rw" "arg one" '*' ''
unset UPDATER_VM_SELFTEST_TOKEN

failed_before=$failed
expected_out="$(printf '%s\n%s\n%s\n%s' "$ALSA_VM_DIR" "$token" '<arg one><*><>' "$(id -u)")"
ok=0
[ "$(cat "$scratch/plumbing.out")" = "$expected_out" ] && ok=1
record "working folder, environment, arguments and user reach the command" "$ok"
ok=0
[ "$(cat "$scratch/plumbing.err")" = "to-stderr" ] && ok=1
record "stderr comes back apart from stdout, without console noise" "$ok"
ok=0
[ "$(cat "$scratch/plumbing.status")" = 7 ] && ok=1
record "the command's exit status comes back" "$ok"
ok=0
[ "$(cat "$rw/from-guest" 2>/dev/null)" = written ] && ok=1
record "ALSA_VM_RW folders are writable from the guest" "$ok"
[ "$failed" -eq "$failed_before" ] || attach plumbing

#==============================================================================
# 3. A hanging command is stopped

limit=40
hang_started=$(date +%s)
vm hang env ALSA_VM_TIMEOUT=$limit ./run-in-vm.sh sleep 3600
hang_took=$(($(date +%s) - hang_started))
ok=0
# Generous upper bound: the kill itself and qemu's exit take a few seconds.
[ "$(cat "$scratch/hang.status")" = 124 ] && [ "$hang_took" -le $((limit + 20)) ] && ok=1
record "a hanging command ends with status 124 (took $hang_took s, limit $limit s)" "$ok"
[ "$ok" = 1 ] || attach hang

#==============================================================================

elapsed_ms=$((($(date +%s%N) - started) / 1000000))
took="$((elapsed_ms / 1000)).$((elapsed_ms % 1000 / 100)) s"
if [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]; then
    echo "PASS: alsa-vm selftest, $passed checks in $took"
    exit 0
fi
cat "$report"
echo "FAIL: alsa-vm selftest, $failed of $((passed + failed)) checks failed, in $took"
exit 1
