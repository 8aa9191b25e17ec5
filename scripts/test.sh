#!/usr/bin/env bash
# Sets up and builds the project, then runs every test; ends with CTest's summary.
#
#   scripts/test.sh
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" "$here/build"

cd "$here/build"
log="$(mktemp)"
started="$(mktemp)"
trap 'rm -f "$log" "$started"' EXIT
status=0
ctest --no-tests=error --output-on-failure -j 2 | tee "$log" || status=$?

# CTest shows a test's output only when it fails: show the ALSA VM scenarios' own summary
# (one line per scenario with its time, and the harness's total) when they ran, then CTest's
# summary once more so that it stays the last word.
vm_summary="tests/alsa-vm/results/summary.txt"
if [ -f "$vm_summary" ] && [ "$vm_summary" -nt "$started" ]; then
    echo
    cat "$vm_summary"
    echo
    sed -n '/tests passed, /,$p' "$log"
fi
exit "$status"
