#!/usr/bin/env bash
# Builds the Debian packages with CPack and checks them as a user would meet them:
# the right files and nothing else, a version that names the carried firmware,
# dependencies that cover every library the updater loads, what lintian, the
# desktop entry validator and the AppStream validator say, and an updater that
# starts from the unpacked package with the window class and icon its desktop
# entry promises.
#
#   check-package.sh BUILD_FOLDER UPDATER_VERSION FIRMWARE_IMAGE with-pedal-sim|without-pedal-sim
# Exit 0 when every check passed, 1 when one failed, 77 when a needed tool is missing.
# (No reader in a pipe below stops early: with pipefail, the writer's SIGPIPE would
# end the script.)
set -euo pipefail

build="$1"
updater_version="$2"
image="$3"
with_sim="${4:-with-pedal-sim}"

# The packages' version is the updater's plus the carried firmware's, so that apt
# upgrades a machine from one image to the next; the firmware's version is in the
# image's file name (PRODUCT-VERSION-RREVISION.syx).
firmware_version="$(basename "$image" .syx | sed -E 's/^[^-]+-(.+)-R[0-9]+$/\1/')"
version="${updater_version}+fw${firmware_version}"
# Each Debian release has a package of its own, its version ending in "~debNN".
release="$(. /etc/os-release && [ "${ID:-}" = debian ] && echo "${VERSION_ID:-}" || true)"
[ -z "$release" ] || version="${version}~deb${release}"
# The JUCE built in, whose licence the copyright files must state.
juce_version="$(dpkg-query -W -f='${Version}' juce-modules-source 2>/dev/null | sed -E 's/^([0-9]+:)?([0-9.]+).*/\2/')"

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg file readelf xvfb-run timeout \
    lintian desktop-file-validate appstreamcli xprop xwininfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is missing (scripts/setup.sh installs it)"
        exit 77
    fi
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# shellcheck source-path=SCRIPTDIR source=../../scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

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
/usr/share/doc/firmware-updater/changelog.gz
/usr/share/doc/firmware-updater/copyright
/usr/share/icons/hicolor/256x256/apps/firmware-updater.png
/usr/share/icons/hicolor/48x48/apps/firmware-updater.png
/usr/share/icons/hicolor/scalable/apps/firmware-updater.svg
/usr/share/lintian/overrides/firmware-updater
/usr/share/man/man1/firmware-updater.1.gz
/usr/share/metainfo/invalid.morvell.firmware_updater.metainfo.xml"
expected_sim="/usr/bin/pedal-sim
/usr/share/doc/firmware-updater-pedal-sim/changelog.gz
/usr/share/doc/firmware-updater-pedal-sim/copyright
/usr/share/man/man1/pedal-sim.1.gz"

# Only Debian 12's lintian needs an override (packaging/debian/deb12).
if [ "$release" != 12 ]; then
    expected_updater="$(echo "$expected_updater" | grep -v '^/usr/share/lintian/')"
fi
actual_updater="$(files_of "$updater_deb")"

if [ "$actual_updater" = "$expected_updater" ]; then
    pass "firmware-updater holds the updater, its man page, desktop entry, icons, metadata, changelog, copyright$([ "$release" = 12 ] && echo " and lintian overrides"), and nothing else"
else
    fail "firmware-updater's files differ from the expected ones:"
    diff <(echo "$expected_updater") <(echo "$actual_updater") || true
fi

if [ "$with_sim" = with-pedal-sim ]; then
    actual_sim="$(files_of "$sim_deb")"
    if [ "$actual_sim" = "$expected_sim" ]; then
        pass "firmware-updater-pedal-sim holds pedal-sim, its man page, changelog and copyright, and nothing else"
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

# The copyright files name the JUCE built in and its licence: JUCE 7's window modules
# are GPLv3 (the rest ISC), all of JUCE 8 is AGPLv3.
case "$juce_version" in
    7.*) juce_licence=GPL-3 ;;
    8.*) juce_licence=AGPL-3 ;;
    *) juce_licence="" ;;
esac
for deb in "${packages[@]}"; do
    copyright="$(dpkg-deb --fsys-tarfile "$deb" | tar -xO --wildcards './usr/share/doc/*/copyright')"
    if [ -z "$juce_licence" ]; then
        fail "JUCE ${juce_version:-(none installed)} is not one whose licence this check knows"
    elif echo "$copyright" | grep -q "^ JUCE $juce_version from Debian's juce-modules-source" &&
        echo "$copyright" | grep -A2 '^Files: juce/modules/' | grep -qx "License: $juce_licence"; then
        pass "$(basename "$deb")'s copyright file states JUCE $juce_version under $juce_licence"
    else
        fail "$(basename "$deb")'s copyright file does not state JUCE $juce_version under $juce_licence"
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
# The desktop entry starts the installed program, names the installed icon and the
# pedal, and is one that desktop-file-validate accepts.
product="$(basename "$image" | sed 's/-.*//')"
desktop="$root/usr/share/applications/firmware-updater.desktop"
entry() {
    sed -n "s/^$1=//p" "$desktop"
}
[ "$(entry Exec)" = firmware-updater ] || fail "the desktop entry does not start firmware-updater"
[ "$(entry Icon)" = firmware-updater ] || fail "the desktop entry names another icon"
[ "$(entry Type)" = Application ] || fail "the desktop entry is not an application"
[ "$(entry SingleMainWindow)" = true ] || fail "the desktop entry does not say SingleMainWindow=true"
case "$(entry Name)" in *"$product"*) ;; *) fail "the desktop entry's Name does not name the $product" ;; esac
case ";$(entry Keywords)" in *";$product;"*) ;; *) fail "the desktop entry's Keywords lack $product" ;; esac
[ -n "$(entry StartupWMClass)" ] || fail "the desktop entry has no StartupWMClass"

# Debian 12's validator knows the Desktop Entry format up to 1.4; 1.5 added nothing
# but SingleMainWindow. Where the validator is that old, it checks the entry with
# that one key taken out and the version it knows.
validated="$desktop"
if desktop-file-validate --help | grep >/dev/null 'Desktop Entry [a-z]* 1\.4'; then
    validated="$scratch/firmware-updater.desktop"
    sed -e '/^SingleMainWindow=/d' -e 's/^Version=1\.5$/Version=1.4/' "$desktop" >"$validated"
fi
if desktop-file-validate "$validated"; then
    pass "desktop-file-validate accepts the desktop entry"
else
    fail "desktop-file-validate rejects the desktop entry"
fi

for size in 48 256; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/firmware-updater.png"
    file -b "$png" | grep >/dev/null "^PNG image data, $size x $size," || fail "the ${size}x${size} icon is $(file -b "$png")"
done
if command -v xmllint >/dev/null; then
    xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/firmware-updater.svg" ||
        fail "the icon is not well-formed SVG"
fi

# The AppStream metadata: valid, launching the installed desktop entry, with screenshots.
metainfo="$root/usr/share/metainfo/invalid.morvell.firmware_updater.metainfo.xml"
if appstreamcli validate --no-net "$metainfo"; then
    pass "appstreamcli accepts the AppStream metadata"
else
    fail "appstreamcli rejects the AppStream metadata"
fi
grep -q '<launchable type="desktop-id">firmware-updater.desktop</launchable>' "$metainfo" ||
    fail "the AppStream metadata does not launch firmware-updater.desktop"
grep -q '<screenshot type="default">' "$metainfo" || fail "the AppStream metadata shows no screenshot"

#===============================================================================
# lintian, Debian's package checker, down to its information and pedantic notes:
# nothing to say. What it says wrongly is overridden in the package with the reason
# (packaging/debian/*.lintian-overrides).
for deb in "${packages[@]}"; do
    if lintian --fail-on error,warning,info,pedantic --info --pedantic "$deb" >"$scratch/lintian.log" 2>&1; then
        pass "lintian has nothing to say of $(basename "$deb")"
    else
        fail "lintian finds fault with $(basename "$deb"):"
    fi
    grep -v 'running with root privileges' "$scratch/lintian.log" || true
done

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

#===============================================================================
# The installed updater's window, as the desktop sees it: its X11 class is the one
# the desktop entry names in StartupWMClass (or a dock shows the running updater
# apart from its menu entry), and it carries an icon of its own. The updater runs
# interactively until this script ends it.
cat >"$scratch/window.sh" <<'PROBE'
#!/usr/bin/env bash
"$1" &
pid=$!
window=""
for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    window="$(xwininfo -root -tree | awk '/"Firmware Updater"/ { print $1; exit }')"
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -n "$window" ]; then
    xprop -id "$window" WM_CLASS
    xprop -id "$window" _NET_WM_ICON | sed -n '1,2p'
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit 0
PROBE

for attempt in $(seq 1 30); do
    timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash "$scratch/window.sh" "$binary" >"$scratch/window.log" 2>/dev/null || true
    grep >/dev/null '^WM_CLASS' "$scratch/window.log" && break
    echo "no updater window (another updater may hold the single-instance guard); trying again (attempt $attempt)"
    sleep 5
done

wm_class="$(entry StartupWMClass)"
if grep -Fx >/dev/null "WM_CLASS(STRING) = \"$wm_class\", \"$wm_class\"" "$scratch/window.log"; then
    pass "the updater's window has the class the desktop entry names ($wm_class)"
else
    cat "$scratch/window.log"
    fail "the updater's window class is not \"$wm_class\", the desktop entry's StartupWMClass"
fi
if grep -E >/dev/null 'Icon \(([4-9][0-9]|[1-9][0-9][0-9]+) x ' "$scratch/window.log"; then
    pass "the updater's window carries its icon ($(grep -o 'Icon ([0-9]* x [0-9]*)' "$scratch/window.log"))"
else
    fail "the updater's window carries no icon of 48 pixels or more"
fi

if [ "$failed" -eq 0 ]; then
    echo "package: all checks passed"
    exit 0
fi
echo "package: $failed check(s) failed"
exit 1
