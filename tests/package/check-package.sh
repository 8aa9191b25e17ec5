#!/usr/bin/env bash
# Builds the Debian packages with CPack and checks them as a user would meet them:
# the right files and nothing else, dependencies that cover every library the
# updater loads, and an updater that starts from the unpacked package.
#
#   check-package.sh BUILD_FOLDER VERSION with-pedal-sim|without-pedal-sim
# Exit 0 when every check passed, 1 when one failed, 77 when a needed tool is missing.
# (No reader in a pipe below stops early: with pipefail, the writer's SIGPIPE would
# end the script.)
set -euo pipefail

build="$1"
version="$2"
with_sim="${3:-with-pedal-sim}"

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg file readelf xvfb-run timeout; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is missing (scripts/setup.sh installs it)"
        exit 77
    fi
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}

#===============================================================================
# Build the packages from what this build folder installs.
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack could not build the packages (is FirmwareUpdater built?)"
    exit 1
fi

arch="$(dpkg --print-architecture)"
updater_deb="$scratch/out/firmware-updater_${version}_${arch}.deb"
sim_deb="$scratch/out/firmware-updater-pedal-sim_${version}_${arch}.deb"

# pedal-sim has its own package when the tools are built, none otherwise.
packages=("$updater_deb")
[ "$with_sim" = with-pedal-sim ] && packages+=("$sim_deb")

for deb in "${packages[@]}"; do
    if [ ! -f "$deb" ]; then
        ls -l "$scratch/out"
        echo "FAIL: $(basename "$deb") was not built"
        exit 1
    fi
done
if [ "$with_sim" != with-pedal-sim ] && [ -e "$sim_deb" ]; then
    fail "a pedal-sim package was built without the tools"
fi

#===============================================================================
# Contents: exactly the shipped files, in the places a desktop looks for them.
files_of() {
    dpkg-deb -c "$1" | awk '$1 !~ /^d/ { print $NF }' | sed 's|^\./|/|' | sort
}

expected_updater="/usr/bin/firmware-updater
/usr/share/applications/firmware-updater.desktop
/usr/share/doc/firmware-updater/copyright
/usr/share/icons/hicolor/scalable/apps/firmware-updater.svg
/usr/share/man/man1/firmware-updater.1"
expected_sim="/usr/bin/pedal-sim
/usr/share/doc/firmware-updater-pedal-sim/copyright"

actual_updater="$(files_of "$updater_deb")"

if [ "$actual_updater" = "$expected_updater" ]; then
    pass "firmware-updater holds the updater, its manual page, desktop entry, icon and copyright, and nothing else"
else
    fail "firmware-updater's files differ from the expected ones:"
    diff <(echo "$expected_updater") <(echo "$actual_updater") || true
fi

if [ "$with_sim" = with-pedal-sim ]; then
    actual_sim="$(files_of "$sim_deb")"
    if [ "$actual_sim" = "$expected_sim" ]; then
        pass "firmware-updater-pedal-sim holds pedal-sim alone"
    else
        fail "firmware-updater-pedal-sim's files differ from the expected ones:"
        diff <(echo "$expected_sim") <(echo "$actual_sim") || true
    fi
    [ -n "$(dpkg-deb -f "$sim_deb" Depends)" ] || fail "pedal-sim declares no dependencies"
fi

# Nothing of the tests, the demo or the tools may slip in through another install rule.
for deb in "${packages[@]}"; do
    if dpkg-deb -c "$deb" | grep -Ei 'test|gtest|gmock|demo|bench|screenshot|/include/|\.a$|cmake'; then
        fail "$(basename "$deb") ships test, demo, tool or development files (listed above)"
    fi
done

#===============================================================================
# Control fields.
field() {
    dpkg-deb -f "$1" "$2"
}

[ "$(field "$updater_deb" Package)" = firmware-updater ] || fail "wrong package name"
[ "$(field "$updater_deb" Version)" = "$version" ] || fail "version is not $version"
[ "$(field "$updater_deb" Architecture)" = "$arch" ] || fail "architecture is not $arch"
[ -n "$(field "$updater_deb" Maintainer)" ] || fail "no maintainer"

depends="$(field "$updater_deb" Depends)"
echo "Depends: $depends"

# The package names in a Depends field, alternatives included.
declared="$(echo "$depends" | sed 's/[,|]/\n/g' | sed 's/(.*)//; s/[[:space:]]//g' | sed '/^$/d' | sort -u)"

# Every library the updater loads must come from a declared package: those it links
# (NEEDED) and those the framework opens at run time (dlopen, names as stored in the
# binary), except the screen saver library, which is only recommended.
root="$scratch/root"
dpkg -x "$updater_deb" "$root"
binary="$root/usr/bin/firmware-updater"

if ! file "$binary" | grep 'ELF.*stripped' >/dev/null || file "$binary" | grep 'not stripped' >/dev/null; then
    fail "the installed updater is not a stripped ELF executable: $(file -b "$binary")"
fi

needed="$(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')"
opened="$(strings "$binary" | grep -E '^lib[A-Za-z0-9_+-]+\.so\.[0-9]+$' | grep -v '^libXss\.' || true)"

# The package that owns a library file. With the merged /usr of Debian 12 a file may
# be registered under /lib or /usr/lib, by its own name or by its link's.
owner_of() {
    local path="$1" real candidate
    real="$(readlink -f "$path")"
    for candidate in "$path" "$real" "${path#/usr}" "${real#/usr}" "/usr${path#/usr}" "/usr${real#/usr}"; do
        if dpkg -S "$candidate" >/dev/null 2>&1; then
            dpkg -S "$candidate" 2>/dev/null | sed -n '1s/:.*//p'
            return
        fi
    done
}

for lib in $(echo "$needed $opened" | tr ' ' '\n' | sort -u); do
    path="$(ldconfig -p | awk -v lib="$lib" '$1 == lib && !found { print $NF; found = 1 }')"
    if [ -z "$path" ]; then
        fail "$lib is not installed here, so its package cannot be checked"
        continue
    fi
    owner="$(owner_of "$path")"
    if [ -z "$owner" ]; then
        fail "no package owns $lib ($path)"
    elif echo "$declared" | grep -x >/dev/null "$owner"; then
        pass "$lib comes from $owner, which is declared"
    else
        fail "$lib comes from $owner, which Depends does not name"
    fi
done

# The framework finds its fonts through fontconfig's configuration; text needs a font.
echo "$declared" | grep -x >/dev/null fontconfig-config || fail "fontconfig-config (/etc/fonts/fonts.conf) is not declared"

#===============================================================================
# The desktop entry starts the installed program and names the installed icon.
desktop="$root/usr/share/applications/firmware-updater.desktop"
grep -x >/dev/null 'Exec=firmware-updater' "$desktop" || fail "the desktop entry does not start firmware-updater"
grep -x >/dev/null 'Icon=firmware-updater' "$desktop" || fail "the desktop entry names another icon"
grep -x >/dev/null 'Type=Application' "$desktop" || fail "the desktop entry is not an application"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
fi
if command -v xmllint >/dev/null; then
    xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/firmware-updater.svg
/usr/share/man/man1/firmware-updater.1" ||
        fail "the icon is not well-formed SVG"
fi

#===============================================================================
# The installed updater runs: unattended, with no MIDI ports here, it finds no pedal
# and ends with -1 (255); a crash, a missing library or a refused start would not.
# An updater started elsewhere on the machine holds the single-instance guard, and
# a start then ends at once with 0: wait for it to finish and try again.
for attempt in $(seq 1 30); do
    start=$(date +%s)
    set +e
    timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$binary" --autoupdate >"$scratch/run.log" 2>&1
    code=$?
    set -e
    elapsed=$(($(date +%s) - start))

    if [ "$code" -ne 0 ] || [ "$elapsed" -gt 1 ]; then
        break
    fi
    echo "another updater holds the single-instance guard; trying again (attempt $attempt)"
    sleep 5
done

if [ "$code" -eq 255 ] && [ "$elapsed" -le 20 ]; then
    pass "the installed updater started, found no pedal and exited 255 after ${elapsed} s"
else
    cat "$scratch/run.log"
    fail "the installed updater exited $code after ${elapsed} s (expected 255 within 20 s)"
fi

if [ $failures -eq 0 ]; then
    echo "package: all checks passed"
    exit 0
fi
echo "package: $failures check(s) failed"
exit 1
