#!/usr/bin/env bash
# The updater for 64-bit Windows, cross-built here with Debian's MinGW-w64 into
# build-windows/ (cmake/mingw-w64.cmake) and tested under Wine:
#
#   scripts/windows.sh              build, then run the Windows tests (last line "N passed, N failed")
#   scripts/windows.sh package [DIR]  build the installer and the zip into DIR (default
#                                   build-windows/packages), signed when UPDATER_SIGNING_PKCS12
#                                   names a certificate (packaging/sign-windows.sh)
#   scripts/windows.sh screenshot FILE  the updater's window under Wine during a transfer, as a PNG
#
# The tests: the engine's and the windows' unit tests under Wine, the demo build's unattended
# update at the real pacing (and without a pedal), the installer and the zip (built, installed,
# started and removed under Wine), and the Windows updater flashing pedal-sim through Windows'
# MIDI in the ALSA test VM (tests/windows/vm-wine-update.sh; label vm).
#
# UPDATER_WINDOWS_BUILD names another build folder than build-windows/.
#
# Installs what is missing (MinGW-w64, Wine, NSIS, rsvg-convert, osslsigncode,
# strip-nondeterminism; scripts/setup.sh), builds
# libpng and libjpeg-turbo for MinGW once per machine (scripts/mingw-deps.sh, cached), builds
# the Linux pedal-sim in build/ for the VM run, and keeps one Xvfb and one wineserver alive
# for the whole run. The updater's single-instance guard under Wine is a lock of the Wine
# prefix (build-windows/wine-prefix), not the Linux one in /var/tmp: these runs take turns
# among themselves only.
#
# On two cores with other builds running: 12.7 min cold (no compiler cache, no image
# libraries), 2.9 min warm (docs/platforms.md).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${UPDATER_WINDOWS_BUILD:-$here/build-windows}"
mode="${1:-test}"

windows_packages="g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64 nsis librsvg2-bin unzip python3
                  osslsigncode strip-nondeterminism"
windows_targets=(FirmwareUpdater FirmwareUpdaterDemo
                 test_message test_message_quit test_firmware test_model test_controller
                 test_midi test_downloader test_view midi-ports hold-desktop)

say() { echo "windows: $*" >&2; }

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/scripts/common.sh"
updater_compiler_cache "$here"

#==============================================================================
# Set-up and build

# The packages (scripts/setup.sh installs the Linux ones too).
install_packages() {
    UPDATER_EXTRA_PACKAGES="$windows_packages ${1:-}" UPDATER_INSTALL_ONLY=1 "$here/scripts/setup.sh"
}

# The Linux pedal-sim, which the VM run puts on the ALSA sequencer for the Windows updater.
build_linux_pedal_sim() {
    UPDATER_BUILD_TARGETS=pedal-sim "$here/scripts/setup.sh" "$here/build"
}

# The Linux pedal-sim of build/, when there is one.
linux_pedal_sim() {
    local candidate
    for candidate in "$here/build/bin/pedal-sim" "$here/build/tools/pedal-sim/pedal-sim"; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 0
}

configure_windows() {
    local deps pedal_sim
    deps="$("$here/scripts/mingw-deps.sh")"
    pedal_sim="$(linux_pedal_sim)"
    # Configured again only when the image libraries moved (a Debian update rebuilt them)
    # or pedal-sim did.
    if ! grep -qx "UPDATER_MINGW_DEPS:PATH=$deps" "$build/CMakeCache.txt" 2>/dev/null ||
        ! grep -qx "UPDATER_HOST_PEDAL_SIM:FILEPATH=$pedal_sim" "$build/CMakeCache.txt" 2>/dev/null; then
        cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
            -DUPDATER_MINGW_DEPS="$deps" -DUPDATER_HOST_PEDAL_SIM="$pedal_sim"
    fi
}

build_windows() {
    cmake --build "$build" -j "$(nproc)" --target "$@"
}

#==============================================================================
# Wine: the prefix, one X server and one wineserver for every program of a run

wine_run=("$here/tests/windows/wine-run.sh" --prefix "$build/wine-prefix")
x_server=""

start_wine() {
    export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
    "${wine_run[@]}" --init

    start_x_server || {
        say "Xvfb did not start"
        return 1
    }
    export UPDATER_WINE_DISPLAY="$x_display"

    # A wineserver that stays, with Wine's own services and desktop started once here, away
    # from any test's output: started by a test, they would hold its output open for as long
    # as they live.
    wineserver -p
    DISPLAY="$UPDATER_WINE_DISPLAY" wine cmd /c exit </dev/null >/dev/null 2>&1
}

stop_wine() {
    WINEPREFIX="$build/wine-prefix" wineserver -k 2>/dev/null || true
    [ -z "$x_server" ] || kill "$x_server" 2>/dev/null || true
}
trap stop_wine EXIT

#==============================================================================

case "$mode" in
    test)
        started=$SECONDS
        install_packages
        build_linux_pedal_sim
        configure_windows
        build_windows "${windows_targets[@]}"
        say "built in $((SECONDS - started)) s"

        start_wine
        log="$(mktemp)"
        stamp="$(mktemp)"
        tests_started=$SECONDS
        # Once in several hundred runs Wine fails to start a program at all: it ends in
        # about 10 ms with no output, before the test's own code ran (not the desktop without
        # a display driver: that one is tested on its own, windows_no_display_wineserver).
        # The tests that failed get one more run; those that pass then are named in the last
        # lines, so that a second chance never goes unseen. The same tests run natively and
        # under the sanitizers without one.
        ctest --test-dir "$build" --no-tests=error --output-on-failure -j 2 | tee "$log" || true
        counts="$(ctest_counts "$log")"
        retried=()
        if [ -n "$counts" ] && [ "${counts#* }" -gt 0 ]; then
            rerun_log="$(mktemp)"
            ctest --test-dir "$build" --output-on-failure --rerun-failed | tee "$rerun_log" || true
            still_failing="$(ctest_failed_names "$rerun_log")"
            rerun_counts="$(ctest_counts "$rerun_log")"
            while read -r name; do
                [ -n "$name" ] && ! grep -qxF "$name" <<<"$still_failing" && retried+=("$name")
            done < <(ctest_failed_names "$log")
            if [ -n "$rerun_counts" ]; then
                counts="$(( ${counts% *} + ${counts#* } - ${rerun_counts#* } )) ${rerun_counts#* }"
            fi
            rm -f "$rerun_log"
        fi
        say "tests took $((SECONDS - tests_started)) s"
        stop_wine

        # CTest shows a test's output only when it fails: show the VM run's own line.
        vm_summary="$build/tests/windows/vm-results/summary.txt"
        if [ -f "$vm_summary" ] && [ "$vm_summary" -nt "$stamp" ]; then
            echo
            cat "$vm_summary"
        fi
        rm -f "$stamp"

        rm -f "$log"
        [ ${#retried[@]} -eq 0 ] || echo "retried, passed the second time: ${retried[*]}"
        if [ -n "$counts" ]; then
            echo "${counts% *} passed, ${counts#* } failed"
            [ "${counts#* }" -eq 0 ]
        else
            echo "the Windows tests ended without a summary"
            echo "0 passed, 1 failed"
            exit 1
        fi
        ;;
    package)
        out="${2:-$build/packages}"
        install_packages
        configure_windows
        build_windows FirmwareUpdater
        mkdir -p "$out"
        out="$(cd "$out" && pwd)"
        cpack --config "$build/CPackConfig.cmake" -B "$out"
        rm -rf "$out/_CPack_Packages"
        ls -l "$out"/firmware-updater-*-win64.*
        ;;
    screenshot)
        [ $# -ge 2 ] || {
            sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
            exit 2
        }
        install_packages "imagemagick x11-utils"
        configure_windows
        build_windows FirmwareUpdaterDemo repaint-window
        export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
        "${wine_run[@]}" --init
        "$here/tests/windows/screenshot.sh" "$2" "$build/bin/firmware-updater-demo.exe" \
            "$build/tests/windows/repaint-window.exe" "${wine_run[@]}"
        ;;
    *)
        sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
        exit 2
        ;;
esac
