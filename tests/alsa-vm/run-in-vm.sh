#!/usr/bin/env bash
# Runs one command line inside a small qemu VM that has a real ALSA sequencer (virtual raw-MIDI
# ports hw:0,0..3, "Midi Through", "Virtual Raw MIDI 0-0..0-3"). The guest sees the host's whole
# file system read-only with a RAM overlay on top, so programs built on the host run unchanged;
# nothing the command writes survives, except in folders listed in ALSA_VM_RW.
#
#   tests/alsa-vm/run-in-vm.sh COMMAND [ARG...]
#
# The command runs in the current working directory with the current environment, as the
# calling user, stdin from /dev/null. Its stdout and stderr are printed after the VM has
# stopped, and this script exits with the command's exit status; 124 when time ran out, 125
# when the VM itself failed.
#
# Environment:
#   ALSA_VM_TIMEOUT   seconds for the whole run, boot included (default 300)
#   ALSA_VM_VERBOSE   1: stream the serial console (firmware, kernel, init) to stderr
#   ALSA_VM_RW        colon-separated host folders the command may write to (shared read-write)
#   ALSA_VM_MEMORY    guest memory in MiB (default 1024; the overlay's RAM comes out of it)
#   ALSA_VM_CPUS      guest CPUs (default 1: boots faster on a busy two-core host)
#   ALSA_VM_CPU       qemu's CPU model (default max; Wine needs max,-smap: with SMAP
#                     emulated, the guest kernel crashes as Wine starts)
#   ALSA_VM_CACHE     cache folder of prepare.sh
#   ALSA_VM_ROOT      1: run the command as root inside the VM (to make USB gadgets, say)
# Inside the guest, ALSA_VM_GUEST=1 is set and ALSA_VM_SHARE names a writable folder that is
# discarded after the run.
#
# The guest CPU is emulated (qemu TCG) and about 23 times slower than the host: build on the
# host, only run here.
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ $# -eq 0 ]; then
    sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
fi

timeout_s="${ALSA_VM_TIMEOUT:-300}"
verbose="${ALSA_VM_VERBOSE:-0}"
memory="${ALSA_VM_MEMORY:-1024}"
cpus="${ALSA_VM_CPUS:-1}"
cpu_model="${ALSA_VM_CPU:-max}"
[[ "$timeout_s" =~ ^[0-9]+$ ]] || alsa_vm_die "ALSA_VM_TIMEOUT must be whole seconds"

# Quick when everything is prepared (a stamp check); the first time it takes minutes.
"$ALSA_VM_DIR/prepare.sh"
kdir="$ALSA_VM_CACHE/$(cat "$ALSA_VM_CACHE/current")"

work="$(mktemp -d "${TMPDIR:-/tmp}/alsa-vm.XXXXXX")"
trap 'rm -rf "$work"' EXIT
share="$work/share"
console="$work/console.log"
mkdir "$share"

#==============================================================================
# The job: environment, working directory and command line, for the guest's bash.

# Variables that describe this shell or this host's session rather than the job: a display,
# session bus or runtime folder of the host does not exist inside the guest.
{
    echo "# Environment of the calling shell, passed through by run-in-vm.sh."
    for name in $(compgen -e); do
        case "$name" in
            _ | PWD | OLDPWD | SHLVL | HOSTNAME | BASH_* | ALSA_VM_* | DISPLAY | WAYLAND_DISPLAY | \
                XAUTHORITY | DBUS_SESSION_BUS_ADDRESS | XDG_RUNTIME_DIR | SSH_*) continue ;;
        esac
        printf 'export %s=%q 2>/dev/null\n' "$name" "${!name}"
    done
} >"$share/env.sh"

cwd="$PWD"
keep_host_tmp=0
# The guest gets a clean /tmp; a job started from the host's /tmp needs to see it, though.
case "$cwd/" in /tmp/*) keep_host_tmp=1 ;; esac

# A limit inside the guest, shorter than the outer one, so that a hanging command still hands
# back its output and a clear status instead of being cut off with the whole VM.
if [ "$timeout_s" -gt 60 ]; then
    inner_s=$((timeout_s - 30))
else
    inner_s=$((timeout_s * 3 / 4))
fi

# Run as the calling user (the guest itself runs as root), unless the job asks for root.
as_user=()
if [ "$(id -u)" -ne 0 ] && [ "${ALSA_VM_ROOT:-0}" != 1 ]; then
    as_user=(setpriv "--reuid=$(id -u)" "--regid=$(id -g)" "--groups=$(id -G | tr ' ' ,)")
fi

# shellcheck disable=SC2016 # the job's own variables expand in the guest
{
    echo "# One run of run-in-vm.sh; executed by the guest's bash inside the chroot."
    echo 'source /run/alsa-vm/env.sh'
    echo 'export ALSA_VM_GUEST=1 ALSA_VM_SHARE=/run/alsa-vm'
    printf 'cd -- %q || { echo "alsa-vm: no such working folder inside the VM" >&2; exit %d; }\n' \
        "$cwd" "$ALSA_VM_HARNESS_FAILED"
    printf 'cmd=('
    printf ' %q' "${as_user[@]}" "$@"
    printf ' )\n'
    printf 'timeout -k 10 %d "${cmd[@]}"\n' "$inner_s"
    echo 'status=$?'
    printf '[ "$status" -ne 124 ] || echo "alsa-vm: the command ran out of its %d s inside the VM" >&2\n' "$inner_s"
    echo 'exit "$status"'
} >"$share/job.sh"

# Writable host folders: one more 9p share each, mounted at the same path in the guest.
rw_dirs=""
virtfs_rw=()
if [ -n "${ALSA_VM_RW:-}" ]; then
    IFS=: read -r -a rw_list <<<"$ALSA_VM_RW"
    n=0
    for dir in "${rw_list[@]}"; do
        [ -n "$dir" ] || continue
        dir="$(cd "$dir" && pwd -P)" || alsa_vm_die "ALSA_VM_RW: no folder $dir"
        [[ "$dir" != *[[:space:],\'\"]* ]] || alsa_vm_die "ALSA_VM_RW: unusable characters in $dir"
        rw_dirs+=" alsavm_rw$n:$dir"
        virtfs_rw+=(-virtfs "local,path=$dir,mount_tag=alsavm_rw$n,security_model=none,multidevs=remap")
        n=$((n + 1))
    done
fi

cat >"$share/vm.conf" <<EOF
GUEST_HOSTNAME=alsa-vm
KEEP_HOST_TMP=$keep_host_tmp
RW_DIRS='${rw_dirs# }'
EOF

#==============================================================================
# The VM

# mitigations=off: this throwaway VM runs only our own programs, and page-table isolation makes
# every system call dearer under emulation. panic=-1 with -no-reboot ends qemu on a panic.
append="console=ttyS0 panic=-1 mitigations=off"
[ "$verbose" = 1 ] || append+=" quiet"

qemu=(
    qemu-system-x86_64
    # The paravirtual /dev/kvm of this kind of machine cannot run Debian's kernel: emulate.
    -accel tcg -cpu "$cpu_model" -smp "$cpus" -m "$memory"
    # No default NIC, VGA or disks: nothing to probe, and no option ROMs to load.
    -nodefaults -no-user-config -nographic -no-reboot -serial stdio -monitor none
    -kernel "$kdir/vmlinux" -initrd "$kdir/initramfs.cpio" -append "$append"
    -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap"
    -virtfs "local,path=$share,mount_tag=alsavm_share,security_model=none"
    "${virtfs_rw[@]}"
)

# The console as text: no carriage returns, no terminal control sequences from the firmware.
plain_console()
{
    tr -d '\r' | sed -u 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g'
}

show_console()
{
    alsa_vm_say "serial console of the VM:"
    plain_console <"$console" | awk '{ print "  | " $0 }' >&2
}

started=$(date +%s%N)
qemu_status=0
# stdin from /dev/null: qemu would otherwise put a calling terminal into raw mode.
if [ "$verbose" = 1 ]; then
    timeout -k 10 "$timeout_s" "${qemu[@]}" </dev/null 2>&1 | tee "$console" | plain_console >&2 ||
        qemu_status=${PIPESTATUS[0]}
else
    timeout -k 10 "$timeout_s" "${qemu[@]}" </dev/null >"$console" 2>&1 || qemu_status=$?
fi
elapsed_ms=$((($(date +%s%N) - started) / 1000000))

#==============================================================================
# Results

[ ! -f "$share/stdout" ] || cat "$share/stdout"
[ ! -f "$share/stderr" ] || cat "$share/stderr" >&2

if [ -f "$share/status" ]; then
    status="$(cat "$share/status")"
    [ "$verbose" != 1 ] || alsa_vm_say "VM ran $((elapsed_ms / 1000)).$((elapsed_ms % 1000 / 100)) s, command status $status"
    exit "$status"
fi

[ "$verbose" = 1 ] || show_console
if [ "$qemu_status" -eq 124 ] || [ "$qemu_status" -eq 137 ]; then
    alsa_vm_say "the VM did not finish within $timeout_s s (ALSA_VM_TIMEOUT)"
    exit 124
fi
alsa_vm_die "the VM stopped without a result (qemu status $qemu_status)"
