#!/usr/bin/env bash
# Installs what building and testing the updater needs on Debian 12, then
# configures and builds it. Safe to run again: installed packages and a
# configured build folder are left as they are.
#
#   scripts/setup.sh [build-folder] [extra cmake options...]
#
# UPDATER_EXTRA_PACKAGES adds Debian packages to the list; UPDATER_BUILD_TARGETS
# (space-separated) builds only those targets instead of everything;
# UPDATER_INSTALL_ONLY=1 stops after the packages. The cmake
# options and the compilers (CC, CXX) count only when the folder is configured
# the first time.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
shift || true

packages=(
    build-essential cmake ninja-build pkg-config ccache
    juce-modules-source
    libasound2-dev libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev
    libfreetype-dev libfontconfig1-dev libpng-dev libjpeg-dev
    libgtest-dev libgmock-dev googletest
    xvfb xauth
    librsvg2-bin                                                 # the package icons, drawn from the SVG
    python3                                                      # the checks of the docs and the VM scenarios
    dpkg-dev file lintian desktop-file-utils appstream x11-utils  # the package test
)
packages+=(${UPDATER_EXTRA_PACKAGES:-})

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    # Several set-ups may run at once (build folders of their own): wait for the
    # package manager's lock instead of failing on it.
    $sudo apt-get -o DPkg::Lock::Timeout=900 update -q
    $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
fi

[ "${UPDATER_INSTALL_ONLY:-0}" != 1 ] || exit 0

# Share compiled objects between build folders and clones of the project.
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/scripts/common.sh"
updater_compiler_cache "$here"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
read -r -a targets <<<"${UPDATER_BUILD_TARGETS:-}"
if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
else
    cmake --build "$build" -j "$(nproc)"
fi
