#!/usr/bin/env bash
# Sets up and builds the project and runs every test (the two ALSA VM boots in the
# background beside the next two stages); then runs the engine's tests
# again under AddressSanitizer+UndefinedBehaviorSanitizer and ThreadSanitizer
# (scripts/sanitize.sh, a build folder per sanitizer) and each fuzz target for a
# bounded time (scripts/fuzz.sh, in the AddressSanitizer's folder); then cross-builds
# the Windows updater and runs its tests under Wine (scripts/windows.sh, build-windows);
# then the same README commands in a Debian 13 root and the packages of both Debian
# releases in clean roots of their own (scripts/debian13.sh); last, builds the release
# packages twice in two sets of folders and compares them byte for byte
# (scripts/reproducible.sh). Ends with one line per stage and then "N passed, N failed"
# over all of them; the exit code is 0 only when all passed.
#
#   scripts/test.sh
#
# UPDATER_FUZZ_SECONDS: time per fuzz target (default 25).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
started_all=$SECONDS

"$here/scripts/setup.sh" "$here/build"

# The Debian 13 stage's roots, when not made yet, are made while the other stages run:
# that is mostly downloading and unpacking packages.
roots_log="$(mktemp)"
"$here/scripts/debian-root.sh" make trixie "$here" >"$roots_log" 2>&1 &
roots_maker=$!

cd "$here/build"
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/scripts/common.sh"
started="$(mktemp)"
stage_folder="$(mktemp -d)"
trap 'rm -rf "$started" "$stage_folder" "$roots_log"' EXIT

# Every stage's output is shown as it comes and kept (stage_folder/N.log) with its exit
# code and time; its last line is its "N passed, N failed".
stage_names=()
stage_times=()
stage_codes=()
run_stage() {
    local name="$1" began=$SECONDS code=0 number=${#stage_names[@]}
    shift
    echo
    "$@" 2>&1 | tee "$stage_folder/$number.log" || code=$?
    stage_names+=("$name")
    stage_times+=($((SECONDS - began)))
    stage_codes+=("$code")
}

# The CTest tests, summed up the way the other stages are, but for the two ALSA VM boots.
ctest_stage() {
    local log status=0 counts
    log="$(mktemp)"
    ctest --no-tests=error --output-on-failure -j 2 -LE '^vm$' | tee "$log" || status=$?
    counts="$(ctest_counts "$log")"
    rm -f "$log"
    [ -n "$counts" ] && echo "${counts% *} passed, ${counts#* } failed"
    return "$status"
}

# The ALSA VM boots (the scenarios over the sequencer and over the USB link) mostly wait: for
# the transfers' pacing, the pedals' restarts, the cable pulled and plugged back; over their
# six to eight minutes the processors are three quarters idle. They run in the background
# beside the sanitizer and fuzz stages, which keep the processors busy, and are reported as a
# stage of their own before the Windows stage, whose own VM boot comes after them.
vm_log="$stage_folder/vm.log"
vm_tests() {
    local began=$SECONDS status=0
    ctest --no-tests=error --output-on-failure -j 2 -L '^vm$' >"$vm_log" 2>&1 || status=$?
    echo "$((SECONDS - began))" >"$vm_log.seconds"
    return "$status"
}
# Their log, then the scenarios' own summaries (one line per scenario with its time, and the
# harness's total), since CTest shows a test's output only when it fails.
vm_stage() {
    local counts vm_summary status
    status="$(cat "$vm_log.status" 2>/dev/null || echo 1)"
    cat "$vm_log" 2>/dev/null || echo "the VM tests left no log"
    for vm_summary in tests/alsa-vm/results/summary.txt tests/alsa-vm/usb-results/summary.txt; do
        if [ -f "$vm_summary" ] && [ "$vm_summary" -nt "$started" ]; then
            echo
            cat "$vm_summary"
        fi
    done
    echo "the VM tests took $(cat "$vm_log.seconds" 2>/dev/null || echo '?') s, beside the sanitizers and fuzzing"
    counts="$(ctest_counts "$vm_log")"
    [ -n "$counts" ] && echo "${counts% *} passed, ${counts#* } failed"
    return "$status"
}

run_stage "tests" ctest_stage
vm_tests &
vm_job=$!
run_stage "sanitizers (asan, tsan)" "$here/scripts/sanitize.sh"
run_stage "fuzz targets" "$here/scripts/fuzz.sh" "${UPDATER_FUZZ_SECONDS:-25}"
# The VM tests are this shell's child: waited for here, not inside a stage's pipeline.
vm_status=0
wait "$vm_job" || vm_status=$?
echo "$vm_status" >"$vm_log.status"
run_stage "ALSA VMs (sequencer, USB)" vm_stage
stage_times[${#stage_times[@]} - 1]="$(cat "$vm_log.seconds" 2>/dev/null || echo 0)"
run_stage "windows (wine, vm)" "$here/scripts/windows.sh"
# The roots' maker is this shell's child: waited for here, not inside a stage's pipeline.
wait "$roots_maker" || cat "$roots_log"
run_stage "debian 13 (and packages)" "$here/scripts/debian13.sh" "$here/build"
run_stage "reproducible packages" "$here/scripts/reproducible.sh"

# Each stage's counts. A stage whose last line is no "N passed, N failed" (it could not
# be built, or died on the way) counts as one failure, and its last line says why; so does
# one that exited with an error although it counted no failure. A stage's lines naming
# tests that passed only when run a second time follow its line.
echo
echo "test.sh: all stages ($(((SECONDS - started_all) / 60)) min in all, builds included)"
all_passed=0
all_failed=0
for number in "${!stage_names[@]}"; do
    stage_log="$stage_folder/$number.log"
    line="$(grep -v '^[[:space:]]*$' "$stage_log" | tail -n 1 || true)"
    passed=0 failed=1 why=""
    if [[ "$line" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        passed="${BASH_REMATCH[1]}"
        failed="${BASH_REMATCH[2]}"
        if [ "$failed" -eq 0 ] && [ "${stage_codes[$number]}" -ne 0 ]; then
            failed=1
            why="  (exited ${stage_codes[$number]})"
        fi
    else
        why="  (no summary; exit ${stage_codes[$number]}; last line: ${line:-none})"
    fi
    all_passed=$((all_passed + passed))
    all_failed=$((all_failed + failed))
    printf '%-28s %s passed, %s failed (%d s)%s\n' "${stage_names[$number]}" "$passed" "$failed" \
        "${stage_times[$number]}" "$why"
    grep '^retried, passed the second time: ' "$stage_log" | sed 's/^/    /' || true
done
echo "$all_passed passed, $all_failed failed"
[ "$all_failed" -eq 0 ]
