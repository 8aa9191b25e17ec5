#!/usr/bin/env bash
# Builds what a release offers for download into one folder, with SHA256SUMS beside it:
# the two Debian packages (cpack in build/), the Windows installer and zip
# (scripts/windows.sh package, build-windows/).
#
#   scripts/package.sh [DIR]      DIR defaults to build/packages
#
# UPDATER_BUILD and UPDATER_WINDOWS_BUILD name other build folders. The Windows updater and
# its installer are signed when UPDATER_SIGNING_PKCS12 names a code-signing certificate
# (packaging/sign-windows.sh); without one they are unsigned, and cpack says so in one line.
#
# The same commit gives the same bytes in any build folder at any time: the packages carry
# the date of packaging/debian/changelog's newest entry (scripts/reproducible.sh checks it).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${UPDATER_BUILD:-$here/build}"
out="${1:-$build/packages}"

mkdir -p "$out"
out="$(cd "$out" && pwd)"
rm -f "$out"/*.deb "$out"/*-win64.exe "$out"/*-win64.zip "$out/SHA256SUMS"

# CPack gives the members of a .deb's outer archive the modes its files got from the umask.
umask 0022
UPDATER_BUILD_TARGETS="FirmwareUpdater pedal-sim packaging_files" "$here/scripts/setup.sh" "$build"
cpack --config "$build/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"
"$here/scripts/windows.sh" package "$out"

cd "$out"
sha256sum -- *.deb *-win64.exe *-win64.zip >SHA256SUMS
echo "package: $out/SHA256SUMS"
cat SHA256SUMS
