#!/usr/bin/env bash
# Builds the updater with a sanitizer and runs its tests under it, each sanitizer in
# a build folder of its own (JUCE included, compiled instrumented):
#
#   address  AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, in
#            build-asan: the whole test suite except the long runs listed below.
#   thread   ThreadSanitizer, in build-tsan: the device link and the controller
#            (test_midi, test_downloader, test_controller, test_pedal, pedal-sim's
#            tests and the message tests).
#
#   scripts/sanitize.sh [address] [thread]      (no argument: both)
#
# Any sanitizer report fails the run: every report is also written to
# <build>/sanitizer-reports/, so that one from a process whose exit code a test
# does not look at (a child of a script, a program expected to fail) still counts.
# Suppressions, each with the reason it is not the updater's fault, are in
# tests/sanitizers/. The last line is "N passed, N failed" over all tests run.
#
# Not run under AddressSanitizer, because they mostly wait at the real pacing of a
# transfer (20 s to several minutes each) on code paths that the unit tests and the
# short whole-application runs already take under it: the interactive update and
# the closes during a transfer, reconnection, revision check or second update
# (app_interactive_update, app_close_during_{transfer,reconnect,verify,interrupt}),
# the single-instance runs (app_single_instance), the fault soak (soak), the demo
# binary runs (e2e_*), the ALSA VM scenarios (alsa_vm_*, a virtual machine that
# runs the plain build) and the Debian package build (package).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(address thread)

long_runs='^(app_interactive_update|app_close_during_(transfer|reconnect|verify|interrupt)|app_single_instance|soak|package)$|^e2e_|^alsa_vm_'

# The device link and the controller; the programs of these test folders are built.
thread_dirs=(midi downloader controller pedal message)
thread_targets=(test_midi test_downloader test_controller test_pedal test_pedal_sim pedal-sim
                test_message test_message_quit)

total_passed=0
total_failed=0

# ctest's "N% tests passed, F tests failed out of T" into the totals; a run that
# printed none (it could not start) counts as one failure.
count_ctest() {
    local log="$1" line
    line="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)"
    if [ -z "$line" ]; then
        total_failed=$((total_failed + 1))
        return
    fi
    local failed all
    failed="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")"
    all="$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")"
    total_passed=$((total_passed + all - failed))
    total_failed=$((total_failed + failed))
}

# Fails the stage when any sanitizer wrote a report; shows them.
check_reports() {
    local stage="$1" reports="$2"
    local found
    found="$(find "$reports" -type f 2>/dev/null | sort)"
    [ -n "$found" ] || return 0

    echo "sanitize: $stage: $(wc -l <<<"$found") process(es) reported findings:"
    while read -r report; do
        echo "----- $report"
        cat "$report"
    done <<<"$found"
    total_failed=$((total_failed + 1))
    return 1
}

run_ctest() {
    local log
    log="$(mktemp)"
    ctest --no-tests=error --output-on-failure -j 2 "$@" | tee "$log" || true
    count_ctest "$log"
    rm -f "$log"
}

export CCACHE_BASEDIR="$here"
export CCACHE_NOHASHDIR=1

for stage in "${stages[@]}"; do
    started=$SECONDS
    case "$stage" in
        address)
            build="$here/build-asan"
            "$here/scripts/setup.sh" "$build" -DUPDATER_SANITIZE=address
            reports="$build/sanitizer-reports"
            rm -rf "$reports"
            mkdir -p "$reports"

            # fast_unwind_on_malloc=0: full allocation stacks through libraries built
            # without frame pointers, which the JUCE suppressions match on.
            common="halt_on_error=1:log_path=$reports/report:log_exe_name=1"
            export ASAN_OPTIONS="$common:detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1:strict_init_order=1"
            export LSAN_OPTIONS="suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0"
            export UBSAN_OPTIONS="$common:print_stacktrace=1"

            echo "sanitize: address: running the tests under AddressSanitizer and UndefinedBehaviorSanitizer"
            run_ctest --test-dir "$build" -E "$long_runs" -LE 'e2e|vm'
            unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
            ;;
        thread)
            build="$here/build-tsan"
            UPDATER_BUILD_TARGETS="${thread_targets[*]}" "$here/scripts/setup.sh" "$build" -DUPDATER_SANITIZE=thread
            reports="$build/sanitizer-reports"
            rm -rf "$reports"
            mkdir -p "$reports"

            export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:log_path=$reports/report:log_exe_name=1"
            if [ -f "$here/tests/sanitizers/tsan.supp" ]; then
                export TSAN_OPTIONS="$TSAN_OPTIONS:suppressions=$here/tests/sanitizers/tsan.supp"
            fi

            echo "sanitize: thread: running the device link and controller tests under ThreadSanitizer"
            for dir in "${thread_dirs[@]}"; do
                run_ctest --test-dir "$build/tests/$dir"
            done
            unset TSAN_OPTIONS
            ;;
        *)
            echo "sanitize: unknown stage '$stage' (address or thread)" >&2
            exit 2
            ;;
    esac
    check_reports "$stage" "$reports" || true
    echo "sanitize: $stage took $((SECONDS - started)) s"
done

echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
