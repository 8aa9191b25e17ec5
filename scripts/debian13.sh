#!/usr/bin/env bash
# The README's commands on Debian 13 ("trixie": JUCE 8.0.6, GCC 14), and the packages
# each Debian release is offered, proven in minimal roots of those releases made with
# debootstrap from Debian's mirror (scripts/debian-root.sh; cached, so that only the
# first run makes them):
#
#   1. In a fresh Debian 13 root with the set-up's packages: the project as git knows
#      it, then `./scripts/run.sh`, which must build without a compiler warning and end
#      with the simulated pedal updated; then the CTest tests that need no VM (labels
#      fast, app, e2e, real-pacing, soak and package: lintian, desktop-file-validate
#      and appstreamcli of Debian 13 among them) and the Debian 13 package (cpack).
#   2. Each package the README offers, in a clean minimal root of its release (Debian
#      12's from BUILD, the Debian 12 build folder, made with cpack there; Debian 13's
#      from step 1): `apt install ./PACKAGE.deb` pulls in what it needs, then
#      `firmware-updater --version` and `--help` answer with 0 and an unattended run
#      under Xvfb, with no pedal there, ends with -1 (255) and its line on stderr.
#
#   scripts/debian13.sh [BUILD]
#
# Ends with "N passed, N failed"; exit code 0 only when all passed. The roots' compiler
# cache is kept in $UPDATER_DEBIAN_ROOTS/ccache-debian13; a run's own files (logs, the
# built packages) in $UPDATER_DEBIAN_ROOTS/run-debian13*, replaced by the next run.
set -euo pipefail

# The roots need root (debootstrap, chroot, mounts).
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=UPDATER_DEBIAN_ROOTS,UPDATER_DEBIAN_MIRROR,TERM "$BASH" "${BASH_SOURCE[0]}" "$@"
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
roots="${UPDATER_DEBIAN_ROOTS:-/var/cache/updater/debian-roots}"
export UPDATER_DEBIAN_ROOTS="$roots"
root_tool="$here/scripts/debian-root.sh"
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/scripts/common.sh"

passed=0
failed=0
check() {
    local what="$1"
    shift
    if "$@"; then
        echo "debian13: ok: $what"
        passed=$((passed + 1))
    else
        echo "debian13: FAIL: $what"
        failed=$((failed + 1))
    fi
}
summary() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}


#===============================================================================
# The roots: Debian 13 with the set-up's packages, and plain Debian 13 and 12 (this
# one made while Debian 13 builds, as it needs the mirror more than the processor).
run="$roots/run-debian13"
stage="$run-files"
rm -rf "$stage"
mkdir -p "$stage" "$roots/ccache-debian13"
"$root_tool" make bookworm >"$stage/root12.path" 2>"$stage/root12.log" &
root12_maker=$!

started=$SECONDS
if ! build_root="$("$root_tool" make trixie "$here")" || ! plain13="$("$root_tool" make trixie)"; then
    echo "debian13: FAIL: the Debian 13 roots could not be made"
    wait "$root12_maker" || true
    failed=1
    summary
    exit 1
fi
echo "debian13: Debian 13 roots ready after $((SECONDS - started)) s"

# The project as git knows it (committed or not, nothing it ignores, no build folders).
git -C "$here" ls-files -z --cached --others --exclude-standard |
    (cd "$here" && xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh) |
    tar -C "$here" --null -T - -cf - | tee "$stage/project.tar" >/dev/null

#===============================================================================
# The packages offered for each release are installed into a clean root of that release
# while Debian 13 builds and tests (Debian 12's from BUILD at once, Debian 13's once its
# build has made them): their work is mostly the mirror's and the disk's.
cat >"$stage/install.sh" <<'INSTALL'
#!/usr/bin/env bash
# Runs inside a clean root: installs the packages with apt as a user would, then starts
# what they install.
set -uo pipefail
export DEBIAN_FRONTEND=noninteractive
ok=0
say() { echo "install: $*"; }
apt-get update -q >/dev/null || { say "FAIL: apt-get update"; exit 1; }
if apt-get install -y -q "$@" >/tmp/apt.log 2>&1; then
    say "ok: apt install $*"
else
    tail -n 20 /tmp/apt.log
    say "FAIL: apt install $*"
    exit 1
fi
# Only for the unattended run below: a virtual display.
apt-get install -y -q xvfb xauth >/dev/null 2>&1 || say "FAIL: could not install Xvfb"
if firmware-updater --version >/tmp/version.txt 2>&1 && grep -q . /tmp/version.txt; then
    say "ok: --version: $(head -n 1 /tmp/version.txt)"
else
    cat /tmp/version.txt; say "FAIL: --version"; ok=1
fi
if firmware-updater --help >/tmp/help.txt 2>&1 && grep -q -- --autoupdate /tmp/help.txt; then
    say "ok: --help ($(wc -l </tmp/help.txt) lines)"
else
    cat /tmp/help.txt; say "FAIL: --help"; ok=1
fi
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" firmware-updater --autoupdate >/tmp/out.txt 2>/tmp/err.txt
code=$?
if [ "$code" -eq 255 ] && grep -q '^firmware-updater: no pedal found: ' /tmp/err.txt; then
    say "ok: --autoupdate without a pedal: exit 255 and \"$(grep '^firmware-updater: no pedal found' /tmp/err.txt)\""
else
    cat /tmp/out.txt /tmp/err.txt; say "FAIL: --autoupdate without a pedal: exit $code"; ok=1
fi
if pedal-sim --help >/tmp/sim.txt 2>&1 && grep -q '^Usage: pedal-sim' /tmp/sim.txt; then
    say "ok: pedal-sim --help"
else
    cat /tmp/sim.txt; say "FAIL: pedal-sim --help"; ok=1
fi
exit $ok
INSTALL

# install_into RELEASE ROOT FOLDER: the updater's and pedal-sim's packages for RELEASE,
# found in FOLDER (inside the stage's folder), installed together into a fresh view of
# ROOT and started; the verdict goes to $stage/installRELEASE.verdict.
install_into() {
    local release="$1" root="$2" folder="$3" debs=() inside=() deb verdict="$stage/install$1.verdict"
    if [ -z "$root" ]; then
        echo "a clean Debian $release root was made: no" >"$verdict"
        return
    fi
    mapfile -t debs < <(ls "$folder"/firmware-updater_*~deb"${release}"_*.deb \
        "$folder"/firmware-updater-pedal-sim_*~deb"${release}"_*.deb 2>/dev/null)
    if [ ${#debs[@]} -ne 2 ]; then
        echo "the two packages for Debian $release were built: no" >"$verdict"
        return
    fi
    for deb in "${debs[@]}"; do
        inside+=("/stage/${deb#"$stage"/}")
    done
    if "$root_tool" run "$root" --fresh "$run-install$release" --bind "$stage" /stage \
        -- bash /stage/install.sh "${inside[@]}" >"$stage/install$release.log" 2>&1; then
        echo "ok" >"$verdict"
    else
        echo "failed" >"$verdict"
    fi
}
report_install() {
    local release="$1" verdict names
    verdict="$(cat "$stage/install$release.verdict" 2>/dev/null || echo "no verdict")"
    names="$(find "$stage"/packages* -name "firmware-updater*~deb${release}_*.deb" -printf '%f ' 2>/dev/null || true)"
    if [ "$verdict" = ok ]; then
        sed 's/^/    /' "$stage/install$release.log"
        check "${names:-the packages }installed into a clean Debian $release and started" true
    else
        cat "$stage/install$release.log" 2>/dev/null || true
        check "Debian $release's packages ${names:+($names) }installed into a clean root of it and started: $verdict" false
    fi
}

mkdir -p "$stage/packages12" "$stage/packages"
if [ -f "$build/CPackConfig.cmake" ]; then
    (cd "$build" && cpack -B "$stage/packages12" >"$stage/cpack12.log" 2>&1) || cat "$stage/cpack12.log"
fi
(
    plain12=""
    while kill -0 "$root12_maker" 2>/dev/null; do
        sleep 5
    done
    if [ -s "$stage/root12.path" ]; then
        plain12="$(cat "$stage/root12.path")"
    else
        cat "$stage/root12.log"
    fi
    install_into 12 "$plain12" "$stage/packages12"
) &
install12=$!

#===============================================================================
# The README's run command, the package and the tests, on Debian 13.
cat >"$stage/inside.sh" <<'INSIDE'
#!/usr/bin/env bash
# Runs inside the Debian 13 root.
set -uo pipefail
mkdir -p /root/firmware-updater
cd /root/firmware-updater
tar -xf /stage/project.tar
./scripts/run.sh >/stage/run.log 2>&1
echo $? >/stage/run.code
cd build
cpack -B /stage/packages >/stage/cpack.log 2>&1
echo $? >/stage/cpack.code
ctest --no-tests=error --output-on-failure -j 2 -L 'fast|app|e2e|real-pacing|soak|package' -LE vm >/stage/ctest.log 2>&1
echo $? >/stage/ctest.code
INSIDE
step_started=$SECONDS
"$root_tool" run "$build_root" --fresh "$run" \
    --bind "$stage" /stage --bind "$roots/ccache-debian13" /root/.cache/ccache \
    -- nice -n 10 bash /stage/inside.sh &
inside_job=$!
# Debian 13's packages into their clean root as soon as they are made.
while kill -0 "$inside_job" 2>/dev/null && [ ! -f "$stage/cpack.code" ]; do
    sleep 5
done
install_into 13 "$plain13" "$stage/packages" &
install13=$!
wait "$inside_job" || true
echo "debian13: build and tests in Debian 13 took $((SECONDS - step_started)) s"
wait "$install12" "$install13" || true
echo "debian13: the packages in clean roots were done after $((SECONDS - step_started)) s"

warnings="$(grep -E -c '(^|[^a-z])warning:' "$stage/run.log" 2>/dev/null || true)"
grep -E '(^|[^a-z])warning:' "$stage/run.log" 2>/dev/null | head -n 20 || true
tail -n 3 "$stage/run.log" 2>/dev/null || true
check "./scripts/run.sh on Debian 13 built without a compiler warning (${warnings:-?} found)" [ "${warnings:-1}" = 0 ]
check "./scripts/run.sh on Debian 13 ended with the simulated pedal updated" \
    grep -q '^run: firmware upgrade successful (exit code 0)$' "$stage/run.log"

grep -E '^[0-9]+% tests passed|^The following tests|^[[:space:]]+[0-9]+ - ' "$stage/ctest.log" 2>/dev/null || true
counts="$(ctest_counts "$stage/ctest.log")"
if [ -n "$counts" ]; then
    passed=$((passed + ${counts% *}))
    failed=$((failed + ${counts#* }))
else
    check "the CTest tests ran on Debian 13" false
fi

report_install 12
report_install 13

summary
