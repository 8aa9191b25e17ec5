#!/usr/bin/env bash
# Prepares what the ALSA test VM needs, once per machine:
#   - host packages: qemu (the emulator), busybox-static (the guest's tools and our cpio and
#     modinfo: the host has neither), alsa-utils, and Xvfb with xdpyinfo/xauth for windowed
#     programs inside the guest, python3 for the scenarios' verdicts;
#   - Debian's own kernel (the version linux-image-amd64 offers), unpacked without installing,
#     turned into a plain vmlinux, plus the sound, virtio, 9p, overlay and USB modules it needs;
#   - a busybox initramfs whose init is guest-init.sh.
# A stamp in the cache records the kernel version, a hash of the module list and a hash of the
# initramfs' inputs, so a second call only checks and returns in about a second.
#
#   tests/alsa-vm/prepare.sh
#
# Environment: ALSA_VM_CACHE (cache folder, default ~/.cache/updater-alsa-vm).
# Prints progress on stderr; the cache folder's "current" file names the ready kernel folder.
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Host packages. qemu comes without recommends (those would pull in a desktop's worth).
host_packages=(qemu-system-x86 busybox-static alsa-utils xvfb x11-utils xauth python3)

# Modules the guest loads, in this order (each one's own dependencies are put before it).
# 9p over virtio carries the host's root and the result share; overlay makes the read-only
# root writable in RAM; the sound modules give a real sequencer with virtual raw-MIDI ports.
guest_modules=(
    virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci
    netfs fscache 9pnet 9pnet_virtio 9p overlay
    soundcore snd snd-timer snd-seq-device snd-seq snd-seq-midi-event snd-rawmidi
    snd-seq-virmidi snd-virmidi snd-seq-dummy
    # A USB MIDI device inside the guest: a configfs gadget with a MIDI function on the dummy
    # host controller, met by the USB audio class driver a real pedal meets. snd-seq-midi
    # gives both sides' raw MIDI devices their sequencer clients (nothing loads it on demand).
    snd-seq-midi usb_common usbcore udc_core dummy_hcd configfs libcomposite usb_f_midi
    mc snd_pcm snd_usbmidi_lib snd_hwdep snd_usb_audio
)
# Four virtual raw-MIDI ports (hw:0,0 .. hw:0,3): enough for a device side and a host side
# plus spares, matching what the project's tools expect.
declare -A module_options=([snd_virmidi]="midi_devs=4")

busybox=/bin/busybox

#==============================================================================
# Host packages

package_installed()
{
    dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qx installed
}

install_host_packages()
{
    local missing=() p
    for p in "${host_packages[@]}"; do
        package_installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    alsa_vm_say "installing ${missing[*]}"
    # A machine fresh from its image may have no package lists yet: refresh them first when
    # apt does not know a package, and once more if the install fails on stale lists.
    local unknown=0
    for p in "${missing[@]}"; do
        timeout 60 apt-cache policy "$p" 2>/dev/null | grep -q 'Candidate: [^(]' || unknown=1
    done
    [ "$unknown" -eq 0 ] || alsa_vm_as_root timeout 300 apt-get -o DPkg::Lock::Timeout=240 update -q

    if ! alsa_vm_as_root env DEBIAN_FRONTEND=noninteractive timeout 900 \
        apt-get -o DPkg::Lock::Timeout=240 install -y -q --no-install-recommends "${missing[@]}"; then
        alsa_vm_as_root timeout 300 apt-get -o DPkg::Lock::Timeout=240 update -q
        alsa_vm_as_root env DEBIAN_FRONTEND=noninteractive timeout 900 \
            apt-get -o DPkg::Lock::Timeout=240 install -y -q --no-install-recommends "${missing[@]}" ||
            alsa_vm_die "could not install ${missing[*]}"
    fi
}

#==============================================================================
# Kernel

# Prints the name of the kernel package that linux-image-amd64's candidate depends on,
# e.g. linux-image-6.1.0-57-amd64: the kernel Debian currently offers for this release.
# The answer only changes with apt's package lists, and asking apt takes two seconds on every
# test run, so it is remembered until a list is newer than the remembered answer.
wanted_kernel_package()
{
    local memo="$ALSA_VM_CACHE/kernel-package"
    if [ -s "$memo" ] && [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*Packages*' -newer "$memo" 2>/dev/null | head -n 1)" ]; then
        cat "$memo"
        return 0
    fi
    local package
    package="$(ask_apt_for_kernel_package)" || return 1
    [ -n "$package" ] || return 1
    echo "$package" >"$memo"
    echo "$package"
}

ask_apt_for_kernel_package()
{
    local meta
    meta="$(timeout 60 apt-cache policy linux-image-amd64 2>/dev/null | awk '/Candidate:/ { print $2 }')"
    if [ -z "$meta" ] || [ "$meta" = "(none)" ]; then
        alsa_vm_as_root timeout 300 apt-get -o DPkg::Lock::Timeout=240 update -q >&2
        meta="$(timeout 60 apt-cache policy linux-image-amd64 | awk '/Candidate:/ { print $2 }')"
    fi
    [ -n "$meta" ] && [ "$meta" != "(none)" ] || return 1
    timeout 60 apt-cache show "linux-image-amd64=$meta" |
        sed -n 's/^Depends:.*\(linux-image-[0-9][^ ,]*\).*/\1/p' | head -n 1
}

# Writes the uncompressed ELF kernel inside a bzImage to $2. Booting that directly (qemu's
# PVH entry) skips the guest's own decompression, which under emulation costs half the boot.
# Like the kernel's scripts/extract-vmlinux: look for each compressor's magic bytes, try to
# decompress from there, and keep the first result that is an ELF file.
extract_vmlinux()
{
    local image="$1" out="$2" entry magic tool offset
    local -a decompress
    local formats=(
        '\x1f\x8b\x08|gzip -dc'
        '\xfd7zXZ\x00|xz -dc --single-stream'
        '\x28\xb5\x2f\xfd|zstd -dcq'
        '\x5d\x00\x00\x00|xz -dc --format=lzma'
        '\x02\x21\x4c\x18|lz4 -dc'
        'BZh|bzip2 -dc'
    )
    for entry in "${formats[@]}"; do
        magic="${entry%%|*}"
        tool="${entry#*|}"
        read -r -a decompress <<<"$tool"
        # The first few hits are enough: the payload starts early in the image, and the
        # shorter magics also occur by chance in later data.
        for offset in $(LC_ALL=C grep -obUaP "$magic" "$image" 2>/dev/null | cut -d: -f1 | head -n 8); do
            # Decompressors complain about the data trailing the payload; the output is
            # still complete, so judge the result rather than their exit status.
            tail -c "+$((offset + 1))" "$image" | timeout 120 "${decompress[@]}" >"$out.part" 2>/dev/null || true
            if [ "$(head -c 4 "$out.part" | od -An -c | tr -d ' ')" = '177ELF' ]; then
                mv "$out.part" "$out"
                return 0
            fi
        done
    done
    rm -f "$out.part"
    return 1
}

# Prints the comma-separated "depends" field of a .ko file. Debian's modules are uncompressed,
# so busybox modinfo reads them as they are, but it insists on opening the running kernel's
# /lib/modules/$(uname -r)/modules.dep first, which this machine does not have. In a private
# mount namespace an empty tmpfs over /lib (or /usr/lib, where it points) holds an empty one; busybox
# is static and needs nothing else from there. `unshare -r` makes this work without root too.
module_depends()
{
    # shellcheck disable=SC2016 # expanded by the inner shell
    timeout 30 unshare -r -m "$busybox" sh -c '
        set -e
        lib="$(readlink -f /lib)"
        mount -t tmpfs none "$lib"
        mkdir -p "$lib/modules/$(uname -r)"
        : >"$lib/modules/$(uname -r)/modules.dep"
        exec "$0" modinfo -F depends "$1"' "$busybox" "$1"
}

# Downloads and unpacks the kernel package into $kdir: vmlinux, the modules in load order
# (modules/*.ko) and load.list, one "name options..." line per module.
prepare_kernel()
{
    local package="$1" krel="$2" kdir="$3"
    local scratch="$kdir.scratch"
    rm -rf "$scratch" "$kdir"
    mkdir -p "$scratch"

    alsa_vm_say "downloading $package"
    # apt-get download runs as the calling user into the current folder; as root it warns
    # that the _apt user cannot write there, which is harmless.
    (cd "$scratch" && timeout 600 apt-get download -q "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2) ||
        true
    local debs=("$scratch"/linux-image-*.deb)
    local deb="${debs[0]}"
    [ -f "$deb" ] || alsa_vm_die "apt-get download $package failed"

    alsa_vm_say "unpacking $(basename "$deb")"
    timeout 300 dpkg-deb -x "$deb" "$scratch/root"
    local mroot="$scratch/root/lib/modules/$krel"
    [ -d "$mroot" ] || alsa_vm_die "no modules for $krel in $deb"

    mkdir -p "$scratch/out/modules"
    extract_vmlinux "$scratch/root/boot/vmlinuz-$krel" "$scratch/out/vmlinux" ||
        alsa_vm_die "could not find the kernel inside vmlinuz-$krel"

    # Module names use '-' and '_' interchangeably; index the files by the '_' form.
    local -A ko_path=()
    local ko name
    # (Parameter expansion rather than basename: there are thousands of modules.)
    while IFS= read -r ko; do
        name="${ko##*/}"
        name="${name%.ko}"
        ko_path[${name//-/_}]="$ko"
    done < <(find "$mroot" -name '*.ko')

    # Depth-first walk over the "depends" field, so each module follows what it needs.
    local -A seen=()
    local order=()
    add_module()
    {
        local name="${1//-/_}" deps dep
        [ -z "${seen[$name]:-}" ] || return 0
        seen[$name]=1
        local ko="${ko_path[$name]:-}"
        if [ -z "$ko" ]; then
            # Built into this kernel: nothing to load.
            if grep -Eq "/${name//_/[-_]}\.ko\$" "$mroot/modules.builtin" 2>/dev/null; then
                return 0
            fi
            alsa_vm_die "module $name is neither in $package nor built in"
        fi
        deps="$(module_depends "$ko")" || alsa_vm_die "busybox modinfo could not read $ko"
        for dep in ${deps//,/ }; do
            add_module "$dep"
        done
        order+=("$name")
    }
    local m
    for m in "${guest_modules[@]}"; do
        add_module "$m"
    done

    : >"$scratch/out/load.list"
    for m in "${order[@]}"; do
        cp "${ko_path[$m]}" "$scratch/out/modules/$m.ko"
        printf '%s %s\n' "$m" "${module_options[$m]:-}" >>"$scratch/out/load.list"
    done

    mv "$scratch/out" "$kdir"
    rm -rf "$scratch"
    alsa_vm_say "kernel $krel ready: ${#order[@]} modules"
}

#==============================================================================
# Initramfs

# What the initramfs is made of; a change in any of these rebuilds it.
initramfs_inputs_hash()
{
    local kdir="$1"
    cat "$ALSA_VM_DIR/guest-init.sh" "$kdir/load.list" "$busybox" | sha256sum | cut -c1-16
}

build_initramfs()
{
    local kdir="$1"
    local tree="$kdir/initramfs.tree"
    rm -rf "$tree"
    mkdir -p "$tree"/{bin,sbin,usr/bin,usr/sbin,dev,proc,sys,lib/modules,lower,rw,newroot,share}
    cp "$busybox" "$tree/bin/busybox"
    cp "$ALSA_VM_DIR/guest-init.sh" "$tree/init"
    chmod 755 "$tree/init"
    cp "$kdir"/modules/*.ko "$kdir/load.list" "$tree/lib/modules/"

    # busybox cpio: the host has no cpio of its own. Kept uncompressed: under emulation,
    # unpacking gzip costs the guest more than reading the few extra megabytes.
    (cd "$tree" && find . | LC_ALL=C sort | timeout 60 "$busybox" cpio -o -H newc 2>/dev/null) \
        >"$kdir/initramfs.cpio.part"
    mv "$kdir/initramfs.cpio.part" "$kdir/initramfs.cpio"
    rm -rf "$tree"
}

#==============================================================================

main()
{
    mkdir -p "$ALSA_VM_CACHE"
    # Two test runs starting together must not build the cache at the same time.
    exec 9>"$ALSA_VM_CACHE/.lock"
    timeout 1200 flock 9 || alsa_vm_die "cache $ALSA_VM_CACHE is locked by another run"

    install_host_packages

    local package krel kdir stamp want modules
    package="$(wanted_kernel_package)" || true
    if [ -z "$package" ]; then
        # No package lists (offline): fall back to the kernel that is already prepared.
        [ -s "$ALSA_VM_CACHE/current" ] || alsa_vm_die "apt offers no linux-image-amd64"
        krel="$(cat "$ALSA_VM_CACHE/current")"
        package="linux-image-$krel"
    fi
    krel="${package#linux-image-}"
    kdir="$ALSA_VM_CACHE/$krel"
    stamp="$kdir/stamp"

    # A changed module list needs the kernel package again: only the chosen modules are kept.
    modules="modules=$(for m in "${guest_modules[@]}"; do echo "$m ${module_options[${m//-/_}]:-}"; done | sha256sum | cut -c1-16)"
    if [ ! -f "$kdir/vmlinux" ] || [ ! -f "$kdir/load.list" ] || ! grep -qx "kernel=$krel" "$stamp" 2>/dev/null ||
        ! grep -qx "$modules" "$stamp"; then
        prepare_kernel "$package" "$krel" "$kdir"
        { echo "kernel=$krel"; echo "$modules"; } >"$stamp"
    fi

    want="initramfs=$(initramfs_inputs_hash "$kdir")"
    if [ ! -f "$kdir/initramfs.cpio" ] || ! grep -qx "$want" "$stamp"; then
        alsa_vm_say "building the initramfs"
        build_initramfs "$kdir"
        { echo "kernel=$krel"; echo "$modules"; echo "$want"; } >"$stamp"
    fi

    # Kernels of earlier Debian updates are no longer needed. Only folders this script made
    # (they hold a stamp) go: ALSA_VM_CACHE may point somewhere shared.
    local old
    for old in "$ALSA_VM_CACHE"/*/; do
        old="${old%/}"
        [ "$old" != "$kdir" ] && grep -qs '^kernel=' "$old/stamp" && rm -rf "$old"
    done
    echo "$krel" >"$ALSA_VM_CACHE/current"
    [ "$SECONDS" -lt 5 ] || alsa_vm_say "prepared in $SECONDS s"
}

main "$@"
