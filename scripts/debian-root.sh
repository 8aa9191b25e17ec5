#!/usr/bin/env bash
# Minimal Debian roots made with debootstrap from Debian's mirror, cached between runs,
# and commands run inside them. Used by scripts/debian13.sh; needs root (or sudo).
#
#   scripts/debian-root.sh make SUITE [PROJECT]
#       Prints the folder of a minimal root of SUITE ("bookworm", "trixie"), made once and
#       kept under $UPDATER_DEBIAN_ROOTS/SUITE-KEY. With PROJECT (a source tree), a copy
#       of that root into which the project's scripts/setup.sh has installed what building
#       and testing need (SUITE-build-KEY).
#       KEY covers the suite, the mirror, apt's settings in the root and that set-up
#       script: when one of them changes, the root is made anew and the old one removed.
#   scripts/debian-root.sh run ROOT [--fresh|--overlay UPPER] [--bind HOST INSIDE]... -- COMMAND...
#       Runs COMMAND as root inside ROOT. With --fresh, ROOT itself stays untouched: the
#       command sees it through an overlay whose changes go to the folder UPPER, emptied
#       first; --overlay keeps what UPPER holds (to go on where a --fresh run ended, such
#       as running the benchmark in the Debian 13 stage's build: UPPER run-debian13).
#       --bind makes a host folder visible inside. The root's /proc, /sys and /dev
#       and the overlay are mounted in a mount namespace of the command's own, so they
#       vanish with it however it ends, and nothing stays mounted on the machine.
#
# Environment: UPDATER_DEBIAN_ROOTS (default /var/cache/updater/debian-roots),
# UPDATER_DEBIAN_MIRROR (default: the Debian mirror this machine's apt sources name).
set -euo pipefail

roots="${UPDATER_DEBIAN_ROOTS:-/var/cache/updater/debian-roots}"

say() {
    echo "debian-root: $*" >&2
}

# Everything here needs root (debootstrap, chroot, mounts).
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=UPDATER_DEBIAN_ROOTS,UPDATER_DEBIAN_MIRROR,TERM "$BASH" "${BASH_SOURCE[0]}" "$@"
fi

# The mirror of Debian's main archive that this machine's apt sources name (one-line
# and deb822 formats), else Debian's own.
debian_mirror() {
    if [ -n "${UPDATER_DEBIAN_MIRROR:-}" ]; then
        echo "$UPDATER_DEBIAN_MIRROR"
        return
    fi
    local uri
    uri="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
        sed -nE -e 's/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([a-z]+:[^[:space:]]+).*/\2/p' \
            -e 's/^URIs:[[:space:]]*([^[:space:]]+).*/\1/p' |
        grep -E '/debian/?$' | head -n 1 || true)"
    echo "${uri:-http://deb.debian.org/debian}"
}

# The security archive beside a mirror of the main one (deb.debian.org serves both).
security_mirror() {
    echo "${1%/}-security"
}

# What goes into a root besides debootstrap's minimal system: apt's sources and settings.
sources_list() {
    local mirror="$1" suite="$2"
    cat <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $(security_mirror "$mirror") $suite-security main
EOF
}
apt_settings() {
    cat <<'EOF'
APT::Install-Recommends "false";
Acquire::Retries "3";
DPkg::Lock::Timeout "900";
EOF
}

root_key() {
    local suite="$1" project="${2:-}" mirror
    mirror="$(debian_mirror)"
    {
        echo "debootstrap --variant=minbase $suite $mirror"
        sources_list "$mirror" "$suite"
        apt_settings
        echo force-unsafe-io
        [ -z "$project" ] || cat "$project/scripts/setup.sh"
    } | sha256sum | cut -c1-16
}

cmd_make() {
    local suite="$1" project="${2:-}"
    local name dir
    name="$suite${project:+-build}"
    dir="$roots/$name-$(root_key "$suite" "$project")"
    if [ ! -f "$dir/.updater-root-ready" ]; then
        mkdir -p "$roots"
        # One maker at a time per root; a second waits and then finds it made.
        (
            flock 9
            [ -f "$dir/.updater-root-ready" ] || make_root "$suite" "$project" "$name" "$dir"
        ) 9>"$roots/$name.lock"
    fi
    echo "$dir"
}

make_root() {
    local suite="$1" project="$2" name="$3" dir="$4"
    local mirror started=$SECONDS
    mirror="$(debian_mirror)"
    rm -rf "$dir.partial"

    if [ -n "$project" ]; then
        # A copy of the plain root, with what the README's set-up installs, installed by
        # that set-up itself.
        local plain
        plain="$(cmd_make "$suite")"
        say "making $name in $dir"
        cp -a "$plain" "$dir.partial"
        rm -f "$dir.partial/.updater-root-ready"
        mkdir -p "$dir.partial/root/setup/scripts"
        cp "$project/scripts/setup.sh" "$dir.partial/root/setup/scripts/"
        cmd_run "$dir.partial" -- env UPDATER_INSTALL_ONLY=1 /root/setup/scripts/setup.sh >&2
        rm -rf "$dir.partial/root/setup"
        cmd_run "$dir.partial" -- apt-get clean >&2
    else
        command -v debootstrap >/dev/null ||
            env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q debootstrap >&2
        say "making $name ($suite from $mirror) in $dir"
        debootstrap --variant=minbase "$suite" "$dir.partial" "$mirror" >"$roots/$name.debootstrap.log" 2>&1 || {
            tail -n 20 "$roots/$name.debootstrap.log" >&2
            say "debootstrap failed (log: $roots/$name.debootstrap.log)"
            return 1
        }
        sources_list "$mirror" "$suite" >"$dir.partial/etc/apt/sources.list"
        apt_settings >"$dir.partial/etc/apt/apt.conf.d/90updater"
        # A root is thrown away rather than repaired: dpkg need not wait for the disk.
        echo force-unsafe-io >"$dir.partial/etc/dpkg/dpkg.cfg.d/90updater"
    fi
    # Package lists go stale: a run that installs fetches them anew.
    rm -rf "$dir.partial/var/lib/apt/lists"
    mkdir -p "$dir.partial/var/lib/apt/lists/partial"
    touch "$dir.partial/.updater-root-ready"

    # Roots of the same name with another key are out of date.
    local old
    for old in "$roots/$name"-*; do
        [[ "$(basename "$old")" =~ ^$name-[0-9a-f]{16}$ ]] && rm -rf "$old"
    done
    mv "$dir.partial" "$dir"
    say "made $name in $((SECONDS - started)) s"
}

# Inside the mount namespace: mount, then chroot. Arguments: ROOT UPPER (or "") then
# pairs HOST INSIDE, "--", the command.
cmd_enter() {
    local root="$1" upper="$2"
    shift 2
    if [ -n "$upper" ]; then
        mkdir -p "$upper/upper" "$upper/work" "$upper/merged"
        mount -t overlay overlay -o "lowerdir=$root,upperdir=$upper/upper,workdir=$upper/work" "$upper/merged"
        root="$upper/merged"
    fi
    mount -t proc proc "$root/proc"
    mount -t sysfs -o ro sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    while [ "$1" != -- ]; do
        mkdir -p "$root$2"
        mount --bind "$1" "$root$2"
        shift 2
    done
    shift
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

cmd_run() {
    local root="$1" upper="" fresh=0 binds=()
    shift
    while [ $# -gt 0 ]; do
        case "$1" in
            --fresh | --overlay)
                [ "$1" = --overlay ] || fresh=1
                upper="$2"
                shift 2
                ;;
            --bind)
                binds+=("$2" "$3")
                shift 3
                ;;
            --)
                shift
                break
                ;;
            *)
                say "run: unknown option $1"
                return 2
                ;;
        esac
    done
    if [ "$fresh" = 1 ]; then
        rm -rf "$upper"
        mkdir -p "$upper"
    fi
    # A mount namespace of its own, private: the mounts never reach the machine's, and
    # go away when the last process inside ends.
    unshare --mount --propagation private --fork -- \
        bash "${BASH_SOURCE[0]}" enter "$root" "$upper" "${binds[@]}" -- "$@"
}

case "${1:-}" in
    make)
        shift
        cmd_make "$@"
        ;;
    run)
        shift
        cmd_run "$@"
        ;;
    enter)
        shift
        cmd_enter "$@"
        ;;
    *)
        sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d' | sed 's/^# \{0,1\}//' >&2
        exit 2
        ;;
esac
