#!/usr/bin/env bash
# Builds the two image libraries that Debian's JUCE needs on Windows and Debian does not
# ship for MinGW: libpng and libjpeg-turbo, static, from Debian's own source packages
# (the versions of this machine's libpng-dev and libjpeg62-turbo-dev), with the MinGW-w64
# toolchain of cmake/mingw-w64.cmake. Prints the install prefix (include/, lib/) on stdout.
#
#   scripts/mingw-deps.sh
#
# The result is cached outside the source tree, like the compiler cache, in
# ${XDG_CACHE_HOME:-~/.cache}/updater-mingw-deps/<key>, where the key names the source
# versions, the compiler's version and this script: a later run, from any clone, finds it
# ready and returns at once. The first run needs Debian's source packages: it adds
# deb-src entries for the Debian mirror that apt already uses when there are none (then
# apt-get update), and takes about three minutes on two cores.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/updater-mingw-deps"

say() { echo "mingw-deps: $*" >&2; }
die() {
    say "error: $*"
    exit 1
}

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

candidate() {
    apt-cache policy "$1" 2>/dev/null | awk '/Candidate:/ { print $2 }'
}

png_version="$(candidate libpng-dev)"
jpeg_version="$(candidate libjpeg62-turbo-dev)"
compiler_version="$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix 2>/dev/null || true)"
[ -n "$png_version" ] && [ "$png_version" != "(none)" ] || die "apt offers no libpng-dev"
[ -n "$jpeg_version" ] && [ "$jpeg_version" != "(none)" ] || die "apt offers no libjpeg62-turbo-dev"
[ -n "$compiler_version" ] || die "g++-mingw-w64-x86-64-posix is not installed"

key="$(printf '%s\n' "$png_version" "$jpeg_version" "$compiler_version" |
    cat - "${BASH_SOURCE[0]}" "$here/cmake/mingw-w64.cmake" | sha256sum | cut -c1-16)"
prefix="$cache/$key"

if [ -f "$prefix/ready" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
if [ -f "$prefix/ready" ]; then
    echo "$prefix"
    exit 0
fi
started=$SECONDS

#==============================================================================
# Debian's source packages

# deb-src entries for the Debian mirror of Debian's own list (deb822 or one-line). This
# runs only when apt knows no source packages, so the copies cannot duplicate any.
enable_sources() {
    local list=/etc/apt/sources.list.d/updater-deb-src
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            $sudo tee "$list.sources" >/dev/null
    fi
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*\/debian.*\)/deb-src \1/p' /etc/apt/sources.list | $sudo tee "$list.list" >/dev/null
    fi
    $sudo apt-get -o DPkg::Lock::Timeout=900 update -q >&2
}

work="$cache/build.$key"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# The wanted version first, then the others apt knows, newest first: a mirror may not yet
# carry the sources of the newest security update (seen here: 404 for its .dsc).
fetch() {
    local package="$1" wanted="$2" version
    for version in "$wanted" $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -r -V); do
        if (cd "$work" && apt-get source -q "$package=$version" >&2); then
            echo "$package $version" >>"$work/versions"
            return 0
        fi
        rm -rf "${work:?}/${package}"[-_]*
    done
    return 1
}
if [ -z "$(apt-cache showsrc libpng1.6 2>/dev/null)" ]; then
    say "adding deb-src entries for Debian's mirror"
    enable_sources
fi
say "fetching the sources of libpng1.6 $png_version and libjpeg-turbo $jpeg_version"
fetch libpng1.6 "$png_version" || die "apt-get source libpng1.6 failed"
fetch libjpeg-turbo "$jpeg_version" || die "apt-get source libjpeg-turbo failed"

#==============================================================================
# Static builds with the project's MinGW toolchain

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# Each library with the date of its Debian source package (libjpeg-turbo writes its build
# date into its version string) and no path of this machine in it, so that the updater
# built on another machine comes out the same.
build() {
    local source="$1"
    shift
    local -x SOURCE_DATE_EPOCH CFLAGS="-ffile-prefix-map=$source=."
    SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l "$source/debian/changelog" -STimestamp)"
    cmake -S "$source" -B "$source/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$work/out" "${launcher[@]}" "$@" >&2
    cmake --build "$source/build" -j "$(nproc)" >&2
    cmake --install "$source/build" >&2
}

png_source="$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)"
jpeg_source="$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)"
[ -d "$png_source" ] && [ -d "$jpeg_source" ] || die "the sources did not unpack"

say "building libpng"
build "$png_source" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
say "building libjpeg-turbo"
build "$jpeg_source" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF

# JUCE's JPEG reader includes libjpeg's internal jpegint.h, which the install leaves out.
cp "$jpeg_source/jpegint.h" "$work/out/include/"
# JUCE includes jpeglib.h inside a namespace after <windows.h>, whose rpcndr.h has already
# declared `boolean` globally; jconfig.h then skips its own typedef and JUCE's
# `using jpeglibNamespace::boolean` finds nothing. Make the typedef unconditional.
jconfig="$work/out/include/jconfig.h"
sed -i '/^#ifndef __RPCNDR_H__/{N;N;s/^#ifndef __RPCNDR_H__[^\n]*\n\(typedef unsigned char boolean;\)[^\n]*\n#endif.*/\1/}' "$jconfig"
grep -q '^typedef unsigned char boolean;' "$jconfig" && ! grep -q __RPCNDR_H__ "$jconfig" ||
    die "jconfig.h: the typedef of boolean is not where it was expected"
# The libraries' own programs are not needed.
rm -rf "$work/out/bin" "$work/out/share"

mv "$work/versions" "$work/out/source-versions"
rm -rf "$prefix"
mv "$work/out" "$prefix"
touch "$prefix/ready"
# Builds for earlier Debian versions are no longer needed.
find "$cache" -mindepth 1 -maxdepth 1 -type d ! -name "$key" ! -name "build.*" -exec rm -rf {} +
say "ready in $((SECONDS - started)) s: $prefix"
echo "$prefix"
