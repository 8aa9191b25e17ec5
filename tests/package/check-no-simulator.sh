#!/usr/bin/env bash
# The shipped updater, installed from this build folder with its symbols, holds no
# code of the simulated pedal: `nm -C` lists no symbol in the pedal:: namespace.
#
#   check-no-simulator.sh BUILD_FOLDER
set -euo pipefail

build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --component updater --prefix "$scratch" >/dev/null
program="$scratch/bin/firmware-updater"
symbols="$(nm -C "$program")"

# A program without a symbol table would pass the check below by saying nothing.
if ! grep -q 'controller::Controller::' <<<"$symbols"; then
    echo "FAIL: nm lists none of the updater's own symbols in $program"
    exit 1
fi

if grep -E '(^|[^A-Za-z0-9_])pedal::' <<<"$symbols"; then
    echo "FAIL: the installed updater holds the simulated pedal's code (symbols above)"
    exit 1
fi
echo "ok: $(wc -l <<<"$symbols") symbols in the installed updater, none of the simulated pedal"
