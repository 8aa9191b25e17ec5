#!/usr/bin/env bash
# The shipped updater, installed from this build folder with its symbols, holds no
# code of the simulated pedal: `nm -C` lists no symbol in the pedal:: namespace. Nor
# does it know the demo build's settings: nothing in the environment can shorten
# its pauses or fake its pedal.
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
if grep -aqE 'DEMO_PAUSES|PEDAL_SIM' "$program"; then
    echo "FAIL: the installed updater names a setting of the demo build (DEMO_PAUSES, PEDAL_SIM)"
    exit 1
fi
echo "ok: $(wc -l <<<"$symbols") symbols in the installed updater, none of the simulated pedal"
