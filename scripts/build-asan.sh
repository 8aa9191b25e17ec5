#!/usr/bin/env bash
# Configures build-asan (clang; AddressSanitizer and UndefinedBehaviorSanitizer on
# everything, JUCE included; the fuzz targets enabled) and builds the given targets
# there. Shared by scripts/sanitize.sh (the component tests) and scripts/fuzz.sh
# (the fuzz targets), so that JUCE and the engine are compiled instrumented once.
#
#   scripts/build-asan.sh TARGET...
#
# A build-asan left from an older set-up (another compiler, no fuzz targets) is
# configured afresh.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-asan"

if [ -f "$build/CMakeCache.txt" ] &&
    ! { grep -q '^UPDATER_FUZZ:BOOL=ON$' "$build/CMakeCache.txt" &&
        grep -q '^CMAKE_CXX_COMPILER:.*clang++$' "$build/CMakeCache.txt"; }; then
    echo "build-asan: configured for another set-up; configuring it afresh"
    rm -rf "$build"
fi

UPDATER_EXTRA_PACKAGES="${UPDATER_EXTRA_PACKAGES:-} clang libclang-rt-14-dev" \
    UPDATER_BUILD_TARGETS="$*" \
    CC=clang CXX=clang++ \
    "$here/scripts/setup.sh" "$build" -DUPDATER_SANITIZE=address -DUPDATER_FUZZ=ON -DCMAKE_UNITY_BUILD=ON
