#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, then fuzzes each one for a bounded time:
#
#   scripts/fuzz.sh [seconds] [target]
#
#   seconds  time per target (default 25; CI uses the default)
#   target   one of: midi_input seven_bit package_cut pedal_blocks pedal_settings
#            (default: all of them, one after another)
#
# For a long run of one target, e.g. an hour: scripts/fuzz.sh 3600 midi_input
#
# Each target starts from its seed corpus (fuzz/corpus/<target>/, in the
# repository) and from what earlier runs on this machine found
# (build-fuzz/corpus/<target>/, kept between runs). A crash, a broken invariant, a
# leak, an input that runs longer than 25 s or a sanitizer report fails the target;
# the input that did it is saved as build-fuzz/artifacts/<target>-crash-... (or
# leak-, timeout-) and the report ends the target's log
# (build-fuzz/logs/<target>.log). Reproduce with
#   build-fuzz/fuzz/fuzz_<target> build-fuzz/artifacts/<target>-crash-...
# The last line is "N passed, N failed" over the targets run.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-25}"
all_targets=(midi_input seven_bit package_cut pedal_blocks pedal_settings)
if [ -n "${2:-}" ]; then
    targets=("${2#fuzz_}")
else
    targets=("${all_targets[@]}")
fi

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "fuzz: seconds must be a whole number above 0, not '$seconds'" >&2
    exit 2
fi
for target in "${targets[@]}"; do
    if [ ! -d "$here/fuzz/corpus/$target" ]; then
        echo "fuzz: unknown target '$target' (${all_targets[*]})" >&2
        exit 2
    fi
done

build="$here/build-fuzz"
UPDATER_EXTRA_PACKAGES="${UPDATER_EXTRA_PACKAGES:-} clang libclang-rt-14-dev" \
    UPDATER_BUILD_TARGETS="${targets[*]/#/fuzz_}" \
    CC=clang CXX=clang++ \
    "$here/scripts/setup.sh" "$build" \
    -DUPDATER_SANITIZE=address -DUPDATER_FUZZ=ON -DUPDATER_BUILD_TESTS=OFF -DUPDATER_BUILD_TOOLS=OFF

mkdir -p "$build/logs" "$build/artifacts"
passed=0
failed=0

for target in "${targets[@]}"; do
    work="$build/corpus/$target"
    log="$build/logs/$target.log"
    mkdir -p "$work"

    options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$build/artifacts/$target-")
    dict="$here/fuzz/corpus/$target.dict"
    [ -f "$dict" ] && options+=(-dict="$dict")

    started="$(mktemp)"
    status=0
    ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1" UBSAN_OPTIONS="print_stacktrace=1" \
        "$build/fuzz/fuzz_$target" "${options[@]}" "$work" "$here/fuzz/corpus/$target" >"$log" 2>&1 || status=$?

    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    coverage="$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)"
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        echo "fuzz: $target passed: ${runs:-?} inputs in $seconds s, ${coverage:-?} edges covered"
    else
        failed=$((failed + 1))
        echo "fuzz: $target FAILED (exit $status); the end of $log:"
        tail -n 60 "$log"
        find "$build/artifacts" -name "$target-*" -newer "$started" | sed 's/^/fuzz: input: /'
    fi
    rm -f "$started"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
