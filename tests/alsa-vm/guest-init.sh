#!/bin/busybox sh
# shellcheck shell=dash disable=SC1091 # busybox ash; vm.conf exists only in the guest
# First process of the ALSA test VM (packed into the initramfs as /init by prepare.sh).
#
# It loads the virtio, 9p, overlay and sound modules, lays a RAM-backed overlay over the host's
# root (shared read-only as "hostroot"), runs the job that run-in-vm.sh left on the writable
# share ("alsavm_share") in a chroot of that overlay, writes the job's exit status next to its
# output on the share, and powers the VM off.
#
# Every line meant for the host starts with "[alsa-vm]", so run-in-vm.sh can tell it apart from
# firmware and kernel messages on the serial console.

/bin/busybox mkdir -p /bin /sbin /usr/bin /usr/sbin
/bin/busybox --install -s
export PATH=/bin:/sbin:/usr/bin:/usr/sbin

# The initramfs has no /dev/console node, so the kernel started us without stdin/stdout.
mount -t devtmpfs devtmpfs /dev
exec </dev/console >/dev/console 2>&1

say()
{
    echo "[alsa-vm] $*"
}

uptime_s()
{
    cut -d' ' -f1 /proc/uptime
}

# init must never return (the kernel would panic): power off instead, whatever happened.
halt()
{
    sync
    poweroff -f
    sleep 10
}

fail()
{
    say "FAIL: $*"
    halt
}

mount -t proc proc /proc || fail "mount /proc"
mount -t sysfs sysfs /sys || fail "mount /sys"

while read -r module options; do
    [ -n "$module" ] || continue
    # $options is split on purpose: it holds zero or more key=value words.
    # shellcheck disable=SC2086
    insmod "/lib/modules/$module.ko" $options || fail "insmod $module $options"
done </lib/modules/load.list

# Large 9p messages: every file the command opens on the host's root travels over 9p.
p9="trans=virtio,version=9p2000.L,msize=262144"

# The writable share: job, settings in, output and status out. No caching, so what the guest
# writes is on the host the moment it is written.
mount -t 9p -o "$p9" alsavm_share /share || fail "mount the result share"
[ -f /share/vm.conf ] || fail "no vm.conf on the share"
# vm.conf sets GUEST_HOSTNAME, KEEP_HOST_TMP ("1" keeps the host's /tmp visible) and RW_DIRS
# (space-separated "tag:path" pairs of writable host folders).
. /share/vm.conf

# The host's root may change underneath (other builds), but this VM only lives for one
# command, so caching it loosely is safe and makes loading programs and libraries much faster.
mount -t 9p -o "$p9,ro,cache=loose" hostroot /lower || fail "mount the host root"
mount -t tmpfs -o mode=0755 rw /rw || fail "mount the overlay's tmpfs"
mkdir -p /rw/upper /rw/work
mount -t overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work overlay /newroot ||
    fail "mount the overlay"

# Fresh kernel file systems inside the new root: the host's own /proc, /sys and /dev came
# through 9p and describe the host, not this VM.
root=/newroot
mount -t proc proc $root/proc || fail "mount proc"
mount -t sysfs sysfs $root/sys || fail "mount sys"
# Where USB gadgets are made, as on a desktop system (systemd mounts it there).
if [ -d $root/sys/kernel/config ]; then
    mount -t configfs configfs $root/sys/kernel/config || fail "mount configfs"
fi
mount -t devtmpfs devtmpfs $root/dev || fail "mount dev"
mkdir -p $root/dev/pts $root/dev/shm
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts $root/dev/pts || fail "mount devpts"
mount -t tmpfs -o mode=1777 shm $root/dev/shm || fail "mount /dev/shm"
if [ "$KEEP_HOST_TMP" != 1 ]; then
    # A clean /tmp: no stale X locks or sockets from the host.
    mount -t tmpfs -o mode=1777 tmp $root/tmp || fail "mount /tmp"
fi
mkdir -p $root/run/alsa-vm
mount -o bind /share $root/run/alsa-vm || fail "bind the share"
for pair in $RW_DIRS; do
    tag="${pair%%:*}"
    dir="${pair#*:}"
    mkdir -p "$root$dir"
    mount -t 9p -o "$p9" "$tag" "$root$dir" || fail "mount writable $dir"
done

# Without udev the sound nodes are root-only; the command may run as an ordinary user.
chmod 0666 /dev/snd/* || fail "no /dev/snd: the sound modules did not come up"

ip link set lo up
hostname "${GUEST_HOSTNAME:-alsa-vm}"

say "ready after $(uptime_s) s; running the command"
chroot $root /bin/bash /run/alsa-vm/job.sh </dev/null >/share/stdout 2>/share/stderr
status=$?
echo "$status" >/share/status.part && mv /share/status.part /share/status
say "command exited with status $status at $(uptime_s) s"
halt
