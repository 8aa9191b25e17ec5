#!/usr/bin/env bash
# Sets up and builds the project and runs every test; then runs the engine's tests
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
log="$(mktemp)"
sanitize_log="$(mktemp)"
fuzz_log="$(mktemp)"
windows_log="$(mktemp)"
reproducible_log="$(mktemp)"
debian13_log="$(mktemp)"
started="$(mktemp)"
trap 'rm -f "$log" "$sanitize_log" "$fuzz_log" "$windows_log" "$reproducible_log" "$debian13_log" "$roots_log" "$started"' EXIT
status=0
tests_started=$SECONDS
ctest --no-tests=error --output-on-failure -j 2 | tee "$log" || status=$?
tests_took=$((SECONDS - tests_started))

# CTest shows a test's output only when it fails: show the ALSA VM scenarios' own summaries
# (one line per scenario with its time, and the harness's total) when they ran.
for vm_summary in tests/alsa-vm/results/summary.txt tests/alsa-vm/usb-results/summary.txt; do
    if [ -f "$vm_summary" ] && [ "$vm_summary" -nt "$started" ]; then
        echo
        cat "$vm_summary"
    fi
done

echo
sanitize_started=$SECONDS
"$here/scripts/sanitize.sh" 2>&1 | tee "$sanitize_log" || status=1
sanitize_took=$((SECONDS - sanitize_started))

echo
fuzz_started=$SECONDS
"$here/scripts/fuzz.sh" "${UPDATER_FUZZ_SECONDS:-25}" 2>&1 | tee "$fuzz_log" || status=1
fuzz_took=$((SECONDS - fuzz_started))

echo
windows_started=$SECONDS
"$here/scripts/windows.sh" 2>&1 | tee "$windows_log" || status=1
windows_took=$((SECONDS - windows_started))

echo
debian13_started=$SECONDS
wait "$roots_maker" || cat "$roots_log"
"$here/scripts/debian13.sh" "$here/build" 2>&1 | tee "$debian13_log" || status=1
debian13_took=$((SECONDS - debian13_started))

echo
reproducible_started=$SECONDS
"$here/scripts/reproducible.sh" 2>&1 | tee "$reproducible_log" || status=1
reproducible_took=$((SECONDS - reproducible_started))

# Each stage's "N passed, N failed"; a stage that ended without one (it could not
# be built) counts as one failure.
all_passed=0
all_failed=0
stage() {
    local name="$1" line="$2" took="$3" passed=0 failed=1
    if [[ "$line" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        passed="${BASH_REMATCH[1]}"
        failed="${BASH_REMATCH[2]}"
    fi
    all_passed=$((all_passed + passed))
    all_failed=$((all_failed + failed))
    printf '%-28s %s passed, %s failed (%d s)\n' "$name" "$passed" "$failed" "$took"
}

ctest_line="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)"
tests_summary=""
if [[ "$ctest_line" =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    tests_summary="$((BASH_REMATCH[2] - BASH_REMATCH[1])) passed, ${BASH_REMATCH[1]} failed"
fi

echo
echo "test.sh: all stages ($(((SECONDS - started_all) / 60)) min in all, builds included)"
stage "tests" "$tests_summary" "$tests_took"
stage "sanitizers (asan, tsan)" "$(tail -n 1 "$sanitize_log")" "$sanitize_took"
stage "fuzz targets" "$(tail -n 1 "$fuzz_log")" "$fuzz_took"
stage "windows (wine, vm)" "$(tail -n 1 "$windows_log")" "$windows_took"
stage "debian 13 (and packages)" "$(tail -n 1 "$debian13_log")" "$debian13_took"
stage "reproducible packages" "$(tail -n 1 "$reproducible_log")" "$reproducible_took"
echo "$all_passed passed, $all_failed failed"
[ "$all_failed" -eq 0 ] || status=1
exit "$status"
