#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan (scripts/build-asan.sh, the folder the
# sanitizer runs use too), then fuzzes each one for a bounded time, as many at once
# as the machine has cores:
#
#   scripts/fuzz.sh [seconds] [target]
#
#   seconds  time per target (default 25; CI uses the default)
#   target   one of: midi_input seven_bit package_cut pedal_blocks pedal_settings
#            (default: all of them)
#
# For a long run of one target, e.g. an hour: scripts/fuzz.sh 3600 midi_input
#
# Each target starts from its seed corpus (fuzz/corpus/<target>/, in the
# repository) and from what earlier runs on this machine found
# (build-asan/fuzz-corpus/<target>/, kept between runs). A crash, a broken
# invariant, a leak, an input that runs longer than 25 s or a sanitizer report
# fails the target; the input that did it is saved as
# build-asan/fuzz-artifacts/<target>-crash-... (or leak-, timeout-) and the report
# ends the target's log (build-asan/fuzz-logs/<target>.log). Reproduce with
#   build-asan/fuzz/fuzz_<target> build-asan/fuzz-artifacts/<target>-crash-...
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

build="$here/build-asan"
"$here/scripts/build-asan.sh" "${targets[@]/#/fuzz_}"

mkdir -p "$build/fuzz-logs" "$build/fuzz-artifacts"
passed=0
failed=0

# One target, to the end; its exit status in <log>.status.
fuzz_one() {
    local target="$1" log="$2" status=0
    local work="$build/fuzz-corpus/$target"
    mkdir -p "$work"

    local options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
                   -artifact_prefix="$build/fuzz-artifacts/$target-")
    local dict="$here/fuzz/corpus/$target.dict"
    [ -f "$dict" ] && options+=(-dict="$dict")

    ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1" UBSAN_OPTIONS="print_stacktrace=1" \
        "$build/fuzz/fuzz_$target" "${options[@]}" "$work" "$here/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    echo "$status" >"$log.status"
}

# Each target is one process on one core: run as many at once as there are cores.
started="$(mktemp)"
trap 'rm -f "$started"' EXIT
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$(nproc)" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    rm -f "$build/fuzz-logs/$target.log.status"
    fuzz_one "$target" "$build/fuzz-logs/$target.log" &
    running=$((running + 1))
done
wait

for target in "${targets[@]}"; do
    log="$build/fuzz-logs/$target.log"
    status="$(cat "$log.status" 2>/dev/null || echo "?")"
    # A target that crashed at once has no coverage line: that must not end the report.
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)"
    coverage="$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2 || true)"
    if [ "$status" = 0 ]; then
        passed=$((passed + 1))
        echo "fuzz: $target passed: ${runs:-?} inputs in $seconds s, ${coverage:-?} edges covered"
    else
        failed=$((failed + 1))
        echo "fuzz: $target FAILED (exit $status); the end of $log:"
        tail -n 60 "$log"
        find "$build/fuzz-artifacts" -name "$target-*" -newer "$started" | sed 's/^/fuzz: input: /'
    fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
