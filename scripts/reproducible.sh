#!/usr/bin/env bash
# Checks that a release can be rebuilt byte for byte: builds the release (scripts/package.sh)
# twice from this checkout, first in build/ and build-windows/, then in build-again/ and
# build-windows-again/ (reusing the compiler cache), later, with another time zone and
# umask, and compares the SHA-256 of every artefact. Where two differ, diffoscope says
# what differs. It also checks each SHA256SUMS with `sha256sum -c`, and that the programs,
# debug information included, hold no path of this checkout: a compiler cache shared by the
# two builds would otherwise hide a path that differs between them.
#
#   scripts/reproducible.sh          (last line "N passed, N failed")
#
# The two build folders lie at the same depth below the sources: with ccache's base folder
# set (scripts/setup.sh), the compiler sees the sources' paths relative to the build folder,
# and the debug information, and with it a Linux program's build ID, keeps them. The
# locale stays: ccache counts it as part of a compilation, and the second build would
# compile everything again.
# Every check runs, whatever failed before it, so that the last line counts them all.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
first="$here/build/packages"
second="$here/build-again/packages"

UPDATER_EXTRA_PACKAGES="diffoscope-minimal" UPDATER_INSTALL_ONLY=1 "$here/scripts/setup.sh"

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/scripts/common.sh"
say() { echo "reproducible: $*"; }

started=$SECONDS
"$here/scripts/package.sh" "$first" >"$here/build/package.log" 2>&1 || {
    tail -n 40 "$here/build/package.log"
    fail "the first release build failed (build/package.log)"
}
say "first build: $((SECONDS - started)) s"

started=$SECONDS
(
    umask 0002
    export TZ=Pacific/Kiritimati
    UPDATER_BUILD="$here/build-again" UPDATER_WINDOWS_BUILD="$here/build-windows-again" \
        "$here/scripts/package.sh" "$second"
) >"$here/build/package-again.log" 2>&1 || {
    tail -n 40 "$here/build/package-again.log"
    fail "the second release build failed (build/package-again.log)"
}
say "second build, in other folders: $((SECONDS - started)) s"

for dir in "$first" "$second"; do
    if [ -s "$dir/SHA256SUMS" ] && (cd "$dir" && sha256sum --quiet -c SHA256SUMS); then
        pass "sha256sum -c ${dir#"$here/"}/SHA256SUMS"
    else
        fail "${dir#"$here/"}/SHA256SUMS is missing or does not match its files"
    fi
done

# The same artefacts, each with the same SHA-256.
names="$(cd "$first" && ls *.deb *-win64.exe *-win64.zip 2>/dev/null; cd "$second" && ls *.deb *-win64.exe *-win64.zip 2>/dev/null)"
names="$(sort -u <<<"$names" | sed '/^$/d')"
[ "$(wc -w <<<"$names")" -eq 4 ] || fail "expected 4 artefacts in the two builds, found: $names"
for name in $names; do
    a="$(sha256sum <"$first/$name" 2>/dev/null | cut -c1-64 || true)"
    b="$(sha256sum <"$second/$name" 2>/dev/null | cut -c1-64 || true)"
    if [ -f "$first/$name" ] && [ -f "$second/$name" ] && [ "$a" = "$b" ]; then
        pass "$name: the same SHA-256 from both builds ($a)"
    else
        fail "$name differs between the builds (${a:-missing} / ${b:-missing})"
        if [ -f "$first/$name" ] && [ -f "$second/$name" ]; then
            timeout 300 diffoscope --text - --max-text-report-size 40000 \
                "$first/$name" "$second/$name" || true
        fi
    fi
done

# The programs as linked, before stripping (the Linux ones with their debug information):
# the same in both builds, and without a path of the checkout.
for program in build/bin/firmware-updater build/bin/pedal-sim build-windows/bin/firmware-updater.exe; do
    again="${program/#build-windows\//build-windows-again/}"
    again="${again/#build\//build-again/}"
    if [ ! -f "$here/$program" ] || [ ! -f "$here/$again" ]; then
        fail "$program or $again was not built"
        continue
    fi
    a="$(sha256sum <"$here/$program" | cut -c1-64)"
    b="$(sha256sum <"$here/$again" | cut -c1-64)"
    if [ "$a" = "$b" ]; then
        pass "$program: the same SHA-256 from both builds ($a)"
    else
        fail "$program differs from $again"
    fi
    for file in "$program" "$again"; do
        if grep -q -a -F "$here" "$here/$file"; then
            fail "$file holds the path $here: $(grep -a -o -F "$here[^[:cntrl:]]*" "$here/$file" | sort -u | head -n 3 | tr '\n' ' ')"
        else
            pass "$file holds no path of the checkout"
        fi
    done
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
