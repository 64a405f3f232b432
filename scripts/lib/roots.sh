# Root folders of Debian releases made with debootstrap, and the mounts a command inside one needs.
# Sourced by scripts/test-on.sh and scripts/package-test.sh. The caller sets:
#   release  the Debian release (bookworm, trixie, forky, ...)
#   root     the root folder
#   roots    the folder that keeps roots, their logs and locks
#   mirror   the Debian mirror
# and gets the array `mounted`, which unmount_all empties (the caller traps it on EXIT).

mounted=()

ensure_debootstrap() {
    command -v debootstrap >/dev/null || {
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
    }
}

unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
    done
    mounted=()
}

# Leftovers of a run that was killed outright.
leftovers() {
    findmnt -rn -o TARGET | awk -v r="$root/" 'index($0, r) == 1' | sort -r
}

unmount_leftovers() {
    local m
    while read -r m; do
        [ -n "$m" ] && { umount "$m" 2>/dev/null || umount -l "$m"; }
    done < <(leftovers)
}

mount_in() { # TYPE SOURCE TARGET [OPTIONS]
    mkdir -p "$root$3"
    mount -t "$1" ${4:+-o "$4"} "$2" "$root$3"
    mounted+=("$root$3")
}

# What programs inside expect: /proc, /sys, /dev with its terminals and shared memory.
mount_system() {
    mount_in proc proc /proc
    mount_in sysfs sys /sys
    mount_in devtmpfs udev /dev 2>/dev/null || {
        mkdir -p "$root/dev" && mount --bind /dev "$root/dev" && mounted+=("$root/dev")
    }
    mount_in devpts devpts /dev/pts gid=5,mode=620,ptmxmode=666
    mount_in tmpfs shm /dev/shm mode=1777
}

# The root becomes the root of a mount namespace of its own (pivot_root, not chroot): the kernel
# refuses user namespaces inside a chroot, and the web engine's sandbox needs them.
in_root() {
    unshare --mount --propagation private -- bash -euc '
        root=$1
        shift
        mount --rbind "$root" "$root"
        cd "$root"
        mkdir -p .old-root
        pivot_root . .old-root
        cd /
        umount -l /.old-root
        exec /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
    ' sh "$root" "$@"
}

# Made less than a day ago and its package manager still there.
healthy() {
    [ -f "$root/.kovalis-made" ] &&
        [ -n "$(find "$root/.kovalis-made" -mmin -1440 2>/dev/null)" ] &&
        chroot "$root" /usr/bin/dpkg-query -W -f='${Status}' apt 2>/dev/null | grep -q 'install ok installed'
}

make_root() {
    echo "== making a $release root in $root"
    rm -rf --one-file-system "$root"
    local script=()
    # Debian 12's debootstrap knows no name for the testing release after trixie; sid's script fits.
    [ -e "/usr/share/debootstrap/scripts/$release" ] || script=(/usr/share/debootstrap/scripts/sid)
    debootstrap --variant=minbase "$release" "$root.new" "$mirror" "${script[@]}" >"$root.log" 2>&1 || {
        tail -20 "$root.log" >&2
        rm -rf --one-file-system "$root.new"
        return 1
    }
    # The archive can serve a testing Release file past its Valid-Until date.
    echo 'Acquire::Check-Valid-Until "false";' >"$root.new/etc/apt/apt.conf.d/99kovalis"
    echo "deb $mirror $release main" >"$root.new/etc/apt/sources.list"
    mv "$root.new" "$root"
    touch "$root/.kovalis-made"
}
