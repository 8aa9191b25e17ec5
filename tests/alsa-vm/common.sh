# shellcheck shell=bash disable=SC2034
# Settings shared by the ALSA test-VM scripts. Sourced by prepare.sh, run-in-vm.sh,
# selftest.sh and the scenario scripts; not meant to be run on its own.

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

# Prints the running scenario script's header comment, its usage, and exits 2.
usage()
{
    sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "$0" >&2
    exit 2
}

# The options of the scenario scripts (scenarios.sh, usb-scenarios.sh):
#   alsa_vm_scenario_options OPTION LAST --updater FILE --pedal-sim FILE OPTION FILE --results DIR [SCENARIO...]
# OPTION names the script's own third program. Sets updater, pedal_sim, own_file, results and
# scenarios (1 to LAST, default all); shows the script's usage on anything else.
alsa_vm_scenario_options()
{
    local option="$1" last="$2" file scenario
    shift 2
    updater="" pedal_sim="" own_file="" results=""
    while [ $# -gt 0 ]; do
        case "$1" in
            --updater) updater="${2:-}" && shift 2 ;;
            --pedal-sim) pedal_sim="${2:-}" && shift 2 ;;
            --results) results="${2:-}" && shift 2 ;;
            "$option") own_file="${2:-}" && shift 2 ;;
            [1-9]) break ;;
            *) usage ;;
        esac
    done
    scenarios=("$@")
    [ ${#scenarios[@]} -gt 0 ] || read -r -a scenarios <<<"$(seq -s ' ' 1 "$last")"
    for scenario in "${scenarios[@]}"; do
        if [[ ! "$scenario" =~ ^[1-9]$ ]] || [ "$scenario" -gt "$last" ]; then
            usage
        fi
    done
    for file in "$updater" "$pedal_sim" "$own_file"; do
        if [ -z "$file" ] || [ ! -f "$file" ]; then
            usage
        fi
    done
    [ -n "$results" ] || usage
}

# The host's side of the scenario scripts, after they have read their options:
#   alsa_vm_scenarios GUEST_SCRIPT CHECKER RESULTS STARTED_NS FILE... -- SCENARIO...
# Empties RESULTS, prepares the VM (the first use installs packages and downloads the
# kernel: kept out of the VM's limit), boots it once to run GUEST_SCRIPT RESULTS FILE...
# SCENARIO... (FILEs made absolute), says so when the guest did not finish, and lets CHECKER
# (a script of this folder) take the verdicts on the host from RESULTS and the firmware
# image. Returns the checker's status. ALSA_VM_TIMEOUT, ALSA_VM_ROOT and the other settings
# of run-in-vm.sh pass through.
alsa_vm_scenarios()
{
    local guest="$1" checker="$2" results="$3" started_ns="$4" files=() file vm_status=0
    shift 4
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        file="$1"
        files+=("$(cd "$(dirname "$file")" && pwd)/$(basename "$file")")
        shift
    done
    shift
    rm -rf "$results"
    mkdir -p "$results"
    results="$(cd "$results" && pwd -P)"

    "$ALSA_VM_DIR/prepare.sh"

    ALSA_VM_RW="$results" "$ALSA_VM_DIR/run-in-vm.sh" "$ALSA_VM_DIR/$guest" "$results" "${files[@]}" "$@" \
        >"$results/vm.out" 2>"$results/vm.err" || vm_status=$?
    if [ ! -f "$results/finished" ]; then
        echo "alsa-vm: $guest did not finish inside the VM (run-in-vm.sh status $vm_status)"
        sed 's/^/  | /' "$results/vm.out" "$results/vm.err"
    fi

    python3 "$ALSA_VM_DIR/$checker" "$results" --harness-started-ns "$started_ns" --scenarios "$*"
}
