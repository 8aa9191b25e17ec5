# shellcheck shell=bash disable=SC2034
# Settings shared by the ALSA test-VM scripts. Sourced by prepare.sh, run-in-vm.sh and
# selftest.sh; not meant to be run on its own.

# The folder holding these scripts, so they find each other from any working directory.
ALSA_VM_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Downloaded kernel, modules and the built initramfs live outside the source tree: they are
# large, tied to this machine and rebuilt on demand, so they must never end up in a commit.
ALSA_VM_CACHE="${ALSA_VM_CACHE:-${XDG_CACHE_HOME:-${HOME:-/var/tmp}/.cache}/updater-alsa-vm}"

# Exit status of the harness when the VM itself (not the command inside it) failed. 125 is
# what `git bisect run` and similar tools read as "could not test", which is what it means.
ALSA_VM_HARNESS_FAILED=125

alsa_vm_say()
{
    printf 'alsa-vm: %s\n' "$*" >&2
}

alsa_vm_die()
{
    alsa_vm_say "error: $*"
    exit "$ALSA_VM_HARNESS_FAILED"
}

# Runs a command as root: directly when we are root already, through sudo otherwise.
alsa_vm_as_root()
{
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        alsa_vm_die "need root (or sudo) for: $*"
    fi
}
