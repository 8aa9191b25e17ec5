#!/usr/bin/env bash
# Sets up and builds the project, then runs every test; ends with CTest's summary.
#
#   scripts/test.sh
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" "$here/build"

cd "$here/build"
ctest --no-tests=error --output-on-failure -j 2
