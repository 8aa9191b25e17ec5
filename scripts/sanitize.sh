#!/usr/bin/env bash
# Builds the updater's engine with a sanitizer and runs its component tests under it,
# each sanitizer in a build folder of its own (JUCE included, compiled instrumented).
# Only the test programs a stage runs are built.
#
#   address  AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, with clang,
#            in build-asan: the tests of the byte parsers and the MIDI transport, the
#            downloader, the controller and the messages, the firmware record and the
#            model, the simulated pedal and pedal-sim, and the soak's own judgement
#            (ctest labels message, firmware, model, controller, midi, downloader,
#            pedal, soak, each with fast). The fuzz targets (scripts/fuzz.sh) are built
#            in the same folder (scripts/build-asan.sh), so JUCE and the engine are
#            compiled instrumented once for both.
#   thread   ThreadSanitizer, in build-tsan: the device link and the controller
#            (labels midi, downloader, controller, pedal, message).
#
#   scripts/sanitize.sh [address] [thread]      (no argument: both)
#
# Not run under a sanitizer: the window tests and the whole-application runs (the
# application, the demo binary, the soak, the VM scenarios, the package). They spend
# their time in windows and at the real pacing, on the engine paths that the component
# tests already take under it, and would cost a whole instrumented build of the
# windows and the application.
#
# Any sanitizer report fails the run: every report is also written to
# <build>/sanitizer-reports/, so that one from a process whose exit code a test does
# not look at (a child of a script, a program expected to fail) still counts.
# Suppressions, each with the reason it is not the updater's fault, are in
# tests/sanitizers/. The last line is "N passed, N failed" over all tests run.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/scripts/common.sh"
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(address thread)

# The component tests each stage runs (ctest labels, see tests/CMakeLists.txt), and
# the programs that hold them.
address_labels='^(message|firmware|model|controller|midi|downloader|pedal|soak)$'
address_targets=(test_message test_message_quit test_firmware test_model test_controller test_midi
                 test_downloader test_pedal test_pedal_sim pedal-sim test_soak_judgement)
thread_labels='^(midi|downloader|controller|pedal|message)$'
thread_targets=(test_midi test_downloader test_controller test_pedal test_pedal_sim pedal-sim
                test_message test_message_quit)

total_passed=0
total_failed=0

# ctest's counts into the totals; a run that printed none (it could not start)
# counts as one failure.
count_ctest() {
    local counts
    counts="$(ctest_counts "$1")"
    if [ -z "$counts" ]; then
        total_failed=$((total_failed + 1))
        return
    fi
    total_passed=$((total_passed + ${counts% *}))
    total_failed=$((total_failed + ${counts#* }))
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

# The component tests of one stage: only those whose programs the stage built.
run_ctest() {
    local build="$1" labels="$2" log
    log="$(mktemp)"
    ctest --test-dir "$build" --no-tests=error --output-on-failure -j 2 -L fast -L "$labels" | tee "$log" || true
    count_ctest "$log"
    rm -f "$log"
}

updater_compiler_cache "$here"

for stage in "${stages[@]}"; do
    started=$SECONDS
    case "$stage" in
        address)
            build="$here/build-asan"
            "$here/scripts/build-asan.sh" "${address_targets[@]}"
            reports="$build/sanitizer-reports"
            rm -rf "$reports"
            mkdir -p "$reports"
            echo "sanitize: address: built in $((SECONDS - started)) s"

            # fast_unwind_on_malloc=0: full allocation stacks through libraries built
            # without frame pointers, which the JUCE suppressions match on.
            common="halt_on_error=1:log_path=$reports/report:log_exe_name=1"
            export ASAN_OPTIONS="$common:detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1:strict_init_order=1"
            export LSAN_OPTIONS="suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0"
            export UBSAN_OPTIONS="$common:print_stacktrace=1"

            echo "sanitize: address: running the component tests under AddressSanitizer and UndefinedBehaviorSanitizer"
            run_ctest "$build" "$address_labels"
            unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
            ;;
        thread)
            build="$here/build-tsan"
            UPDATER_BUILD_TARGETS="${thread_targets[*]}" "$here/scripts/setup.sh" "$build" \
                -DUPDATER_SANITIZE=thread -DCMAKE_UNITY_BUILD=ON
            reports="$build/sanitizer-reports"
            rm -rf "$reports"
            mkdir -p "$reports"
            echo "sanitize: thread: built in $((SECONDS - started)) s"

            export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:log_path=$reports/report:log_exe_name=1"
            if [ -f "$here/tests/sanitizers/tsan.supp" ]; then
                export TSAN_OPTIONS="$TSAN_OPTIONS:suppressions=$here/tests/sanitizers/tsan.supp"
            fi

            echo "sanitize: thread: running the device link and controller tests under ThreadSanitizer"
            run_ctest "$build" "$thread_labels"
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
