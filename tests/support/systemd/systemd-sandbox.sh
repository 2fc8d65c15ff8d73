#!/bin/bash
# Boots a real systemd as PID 1 of its own PID, mount, UTS, network and cgroup namespaces,
# for tests that need a service manager and an sshd to talk to.
#
#   systemd-sandbox.sh boot STATE     run as root on the host; STATE is an empty directory
#                                     outside /tmp, /var/tmp and /run (the fixture uses
#                                     /dev/shm). Ends when the sandbox's init ends.
#   systemd-sandbox.sh inside STATE   what boot runs as PID 1 of the new namespaces.
#
# The sandbox must never reach the host's /tmp: a systemd that sees the host's unit folders
# pulls in sysinit.target, whose systemd-tmpfiles run empties the /tmp it can see. So, before
# systemd is started, this script gives the namespaces a private tmpfs on /tmp, /var/tmp, /run
# and /dev/shm, hides every unit and generator folder behind an empty tmpfs, makes the rest of
# the host's file system read-only (with disposable overlays on /etc, /usr/local and /var), and
# proves all of it from inside. A failed proof writes STATE/refused (one line, the reason) and
# exits 3 without starting anything. STATE/proofs lists the proofs that passed. Inside, STATE
# is bound to /run/systemd-sandbox/state.
#
# Contract with the fixture: STATE/host-canary names a file that boot puts into the host's
# /tmp; it must be visible before the private /tmp is mounted, invisible after, and still there
# on the host when the sandbox is gone. The sshd listens on 127.0.0.2:22 of the sandbox's own
# network; root and pqoperator (an ordinary account of the sandbox only) log in with the key
# in the sandbox's /root/.ssh, and with nothing else.
set -euo pipefail

mode=${1:-}
state=${2:-}
if [ -z "$mode" ] || [ -z "$state" ] || [ ! -d "$state" ]; then
    echo "usage: $0 boot|inside STATE_DIRECTORY" >&2
    exit 2
fi
state=$(cd "$state" && pwd)
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

refuse() {
    echo "$*" >"$state/refused"
    echo "systemd-sandbox: refused: $*" >&2
    exit 3
}

proved() {
    echo "$*" >>"$state/proofs"
}

# The device number (major:minor) of the file system that holds a path.
device_of() {
    local hex
    hex=$(stat -c '%D' "$1")
    printf '%d:%d' $(((0x$hex >> 8) & 0xfff)) $(((0x$hex & 0xff) | ((0x$hex >> 12) & 0xfff00)))
}

# The last (topmost) mountinfo line whose mount point is exactly $1: "id dev fstype".
top_mount() {
    awk -v point="$1" '$5 == point {
        for (i = 7; $i != "-"; i++) {}
        line = $1 " " $3 " " $(i + 1)
    } END { print line }' /proc/self/mountinfo
}

# What sandboxes of fixtures that were killed before their teardown left: a state directory
# older than ten minutes whose init is gone, its host canary and its empty cgroup.
sweep_stale() {
    local dir pid canary cgroup
    for dir in /dev/shm/pellquin-sandbox.*; do
        if [ ! -d "$dir" ] || [ "$dir" = "$state" ]; then continue; fi
        [ -n "$(find "$dir" -maxdepth 0 -mmin +10)" ] || continue
        pid=$(cat "$dir/init.pid" 2>/dev/null || true)
        [ -z "$pid" ] || [ ! -d "/proc/$pid" ] || continue
        canary=$(cat "$dir/host-canary" 2>/dev/null || true)
        case "$canary" in /tmp/pellquin-sandbox-canary.*) rm -f "$canary" "$canary.inside" ;; esac
        cgroup=$(cat "$dir/cgroup" 2>/dev/null || true)
        case "$cgroup" in
            /sys/fs/cgroup/*/pellquin-sandbox-* | /sys/fs/cgroup/pellquin-sandbox-*)
                [ ! -d "$cgroup" ] ||
                    find "$cgroup" -depth -type d -exec rmdir {} + 2>/dev/null || true
                ;;
        esac
        rm -rf "$dir"
    done
}

boot() {
    [ "$(id -u)" -eq 0 ] || refuse "booting a sandboxed systemd needs root"
    sweep_stale
    case "$state" in
        /tmp | /tmp/* | /var/tmp | /var/tmp/* | /run | /run/*)
            refuse "the state directory $state lies in a folder that the sandbox hides" ;;
    esac
    for tool in unshare mount awk stat ip; do
        command -v "$tool" >/dev/null || refuse "$tool is not installed"
    done
    [ -x /lib/systemd/systemd ] || refuse "systemd is not installed (no /lib/systemd/systemd)"
    command -v dbus-daemon >/dev/null || refuse "dbus-daemon is not installed"

    # The host's view, taken before any namespace exists, for the proofs inside.
    local canary
    canary=$(mktemp /tmp/pellquin-sandbox-canary.XXXXXXXX)
    echo "host canary of the systemd sandbox in $state" >"$canary"
    echo "$canary" >"$state/host-canary"
    # The project's trees (this script's source tree, the calling test's build tree) stay
    # visible inside, read-only, where the private /tmp, /var/tmp or /run would hide them: a
    # clean clone is often built under /tmp.
    local source_root build_root
    source_root=$(cd "$(dirname "$self")/../../.." && pwd)
    build_root=$(dirname "$(readlink "/proc/$PPID/exe" 2>/dev/null || echo /)")
    while [ "$build_root" != / ] && [ ! -f "$build_root/CMakeCache.txt" ]; do
        build_root=$(dirname "$build_root")
    done
    : >"$state/keep"
    local tree
    for tree in "$source_root" "$build_root"; do
        case "$tree" in
            /tmp/?* | /var/tmp/?* | /run/?*)
                grep -qxF "$tree" "$state/keep" || echo "$tree" >>"$state/keep"
                ;;
        esac
    done
    readlink /proc/self/ns/mnt >"$state/host-mnt-ns"
    local ns
    for ns in pid mnt net uts ipc cgroup; do
        echo "$ns $(readlink "/proc/self/ns/$ns")"
    done >"$state/host-namespaces"
    {
        echo "tmp $(device_of /tmp)"
        echo "var_tmp $(device_of /var/tmp)"
        echo "run $(device_of /run)"
    } >"$state/host-devices"

    # systemd takes the cgroup it starts in as its own to manage: give it an empty one of its
    # own and a cgroup namespace rooted there, so it never moves or kills a host process.
    local cgroup_root=""
    if [ -e /sys/fs/cgroup/cgroup.procs ] && [ "$(stat -f -c %T /sys/fs/cgroup)" = cgroup2fs ]; then
        cgroup_root=/sys/fs/cgroup
    elif [ -e /sys/fs/cgroup/unified/cgroup.procs ]; then
        cgroup_root=/sys/fs/cgroup/unified
    else
        refuse "no cgroup2 hierarchy to give systemd a cgroup of its own"
    fi
    local cgroup
    cgroup="$cgroup_root/pellquin-sandbox-$$"
    mkdir "$cgroup" || refuse "cannot create the cgroup $cgroup"
    echo "$cgroup" >"$state/cgroup"
    echo $$ >"$cgroup/cgroup.procs" || refuse "cannot move into the cgroup $cgroup"

    # exec keeps this process id, so the fixture's parent-death signal reaches unshare, and
    # --kill-child takes the sandbox's init down with it.
    exec unshare --pid --mount --uts --net --cgroup --ipc --fork --mount-proc \
        --propagation private --kill-child=SIGKILL -- "$self" inside "$state"
}

inside() {
    [ $$ -eq 1 ] || refuse "the sandbox script is not PID 1 of its own PID namespace"
    local canary
    canary=$(cat "$state/host-canary")
    local host_tmp host_var_tmp host_run
    host_tmp=$(awk '$1 == "tmp" { print $2 }' "$state/host-devices")
    host_var_tmp=$(awk '$1 == "var_tmp" { print $2 }' "$state/host-devices")
    host_run=$(awk '$1 == "run" { print $2 }' "$state/host-devices")

    # No mount may propagate back to the host: every mount of this namespace is private.
    if awk '{ for (i = 7; $i != "-"; i++) if ($i ~ /^(shared|master):/) exit 1 }' \
        /proc/self/mountinfo; then
        proved "mount namespace: no mount is shared with or a slave of the host"
    else
        refuse "a mount of the sandbox still propagates to or from the host"
    fi
    local ns host_ns
    while read -r ns host_ns; do
        [ "$(readlink "/proc/self/ns/$ns")" != "$host_ns" ] ||
            refuse "the sandbox shares the host's $ns namespace"
    done <"$state/host-namespaces"
    proved "namespaces: pid, mnt, net, uts, ipc and cgroup all differ from the host's"
    [ -f "$canary" ] || refuse "the host's /tmp canary $canary is not visible before the mounts"

    # The trees to keep are held aside (on a private tmpfs over /mnt) while the scratch file
    # systems are replaced.
    local kept=0 tree
    if [ -s "$state/keep" ]; then
        [ -d /mnt ] || refuse "no /mnt to hold the project's trees while /tmp is replaced"
        mount -t tmpfs -o mode=0700 tmpfs /mnt
        while read -r tree; do
            mkdir "/mnt/keep$kept"
            mount --bind "$tree" "/mnt/keep$kept" || refuse "cannot hold $tree aside"
            kept=$((kept + 1))
        done <"$state/keep"
    fi

    # Private, empty scratch file systems first: nothing below runs before they are in place.
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs /tmp
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs /var/tmp
    mount -t tmpfs -o mode=0755,nosuid,nodev tmpfs /run
    local point host entry id dev type
    for point in /tmp /var/tmp /run; do
        case "$point" in
            /tmp) host=$host_tmp ;;
            /var/tmp) host=$host_var_tmp ;;
            /run) host=$host_run ;;
        esac
        entry=$(top_mount "$point")
        read -r id dev type <<<"$entry"
        [ "$type" = tmpfs ] ||
            refuse "$point is not a tmpfs mount in the sandbox (${entry:-no mount of its own})"
        [ "$dev" != "$host" ] || refuse "$point has the host's device $host in the sandbox"
        [ "$(device_of "$point")" = "$dev" ] ||
            refuse "$point does not resolve to its tmpfs mount $dev"
        [ -z "$(ls -A "$point")" ] || refuse "$point is not empty after mounting it"
        proved "$point: tmpfs mount $id, device $dev, host device $host, empty"
    done
    [ ! -e "$canary" ] || refuse "the host's /tmp canary is still visible through /tmp"
    echo "sandbox marker" >"$canary.inside"
    proved "/tmp: the host canary $canary is hidden; the marker $canary.inside is written here"

    # The state directory moves into the sandbox's /run; /dev/shm becomes private too.
    mkdir -m 0755 /run/systemd-sandbox /run/systemd-sandbox/state
    mount --bind "$state" /run/systemd-sandbox/state
    state=/run/systemd-sandbox/state
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs /dev/shm
    [ -z "$(ls -A /dev/shm)" ] || refuse "/dev/shm is not empty after mounting it"
    proved "/dev/shm: private tmpfs, empty; the state directory is $state"

    # Everything else of the host read-only; what services write goes to disposable overlays.
    mount -o remount,bind,ro / || refuse "cannot make the root file system read-only"
    local layer layers=/run/systemd-sandbox/overlay
    for layer in etc usr/local var; do
        mkdir -p "$layers/$layer/upper" "$layers/$layer/work"
        mount -t overlay overlay \
            -o "lowerdir=/$layer,upperdir=$layers/$layer/upper,workdir=$layers/$layer/work" \
            "/$layer" || refuse "cannot put a private overlay on /$layer"
    done
    # The overlay on /var covers the private /var/tmp; mount it again on top.
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs /var/tmp
    entry=$(top_mount /var/tmp)
    read -r id dev type <<<"$entry"
    if [ "$type" != tmpfs ] || [ "$dev" = "$host_var_tmp" ] ||
        [ "$(device_of /var/tmp)" != "$dev" ] || [ -n "$(ls -A /var/tmp)" ]; then
        refuse "/var/tmp is not a private tmpfs above the /var overlay ($entry)"
    fi
    proved "/var/tmp: tmpfs mount $id, device $dev above the /var overlay, empty"
    if touch /usr/.pellquin-sandbox-write-test 2>/dev/null; then
        rm -f /usr/.pellquin-sandbox-write-test
        refuse "the host's root file system is still writable from the sandbox"
    fi
    proved "/: read-only in the sandbox; /etc, /usr/local and /var are overlays on tmpfs"
    # Only now, with the proofs made, do the kept trees come back: read-only, at their paths.
    local i=0
    while [ "$i" -lt "$kept" ]; do
        tree=$(sed -n "$((i + 1))p" "$state/keep")
        mkdir -p "$tree"
        if ! { mount --bind "/mnt/keep$i" "$tree" && mount -o remount,bind,ro "$tree"; }; then
            refuse "cannot show $tree read-only in the sandbox"
        fi
        proved "$tree: the project's tree, read-only in the sandbox's scratch file systems"
        i=$((i + 1))
    done
    echo pellquin-sandbox >/proc/sys/kernel/hostname
    mount --bind /proc/sys /proc/sys && mount -o remount,bind,ro /proc/sys
    mount -o remount,bind,ro /sys
    proved "/proc/sys and /sys: read-only in the sandbox"

    # cgroup2 seen from the cgroup namespace: only the sandbox's own cgroup.
    mount -t cgroup2 -o nosuid,nodev,noexec cgroup2 /sys/fs/cgroup ||
        refuse "cannot mount the sandbox's cgroup2 hierarchy"
    [ "$(grep '^0::' /proc/self/cgroup)" = "0::/" ] ||
        refuse "the sandbox's cgroup namespace does not start at its own cgroup"
    proved "cgroup: namespace rooted at $(cat "$state/cgroup")"

    # Every folder that systemd reads units or generators from is empty, or absent and on a
    # read-only file system or an overlay.
    local folder
    for folder in /etc/systemd /usr/lib/systemd/system /usr/lib/systemd/system-generators \
        /usr/lib/systemd/system-environment-generators /usr/lib/systemd/system-preset \
        /usr/lib/systemd/system-shutdown /usr/local/lib/systemd /lib/systemd/system \
        /lib/systemd/system-generators; do
        if [ -d "$folder" ] && [ -n "$(ls -A "$folder")" ]; then
            mount -t tmpfs -o mode=0755 tmpfs "$folder"
        fi
    done
    mkdir -p /etc/systemd/system
    write_units
    local unit_path
    while read -r unit_path; do
        [ -d "$unit_path" ] || continue
        if [ "$unit_path" = /etc/systemd/system ]; then
            local unexpected
            unexpected=$(cd "$unit_path" && find . -mindepth 1 | sort |
                comm -23 - "$state/units.list")
            [ -z "$unexpected" ] || refuse "unexpected units in $unit_path: $unexpected"
        elif [ -n "$(ls -A "$unit_path")" ]; then
            refuse "the unit folder $unit_path is not empty in the sandbox"
        fi
    done < <(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin systemd-analyze unit-paths)
    proved "unit folders: empty but for the fixture's $(wc -l <"$state/units.list") units" \
        "in /etc/systemd/system"
    local generators
    generators=$(env -i PATH=/usr/bin:/bin systemd-path systemd-search-system-generator)
    for folder in ${generators//:/ } /usr/lib/systemd/system-environment-generators \
        /lib/systemd/system-environment-generators; do
        [ ! -d "$folder" ] || [ -z "$(ls -A "$folder")" ] ||
            refuse "the generator folder $folder is not empty in the sandbox"
    done
    proved "generator folders: empty"

    # Written to the /etc overlay, never to the host's /etc.
    echo pellquin-sandbox >/etc/hostname
    echo "127.0.0.2 pellquin-remote" >>/etc/hosts

    # systemd writes its console to the sandbox's log, not to the machine's console.
    : >"$state/console.log"
    mount --bind "$state/console.log" /dev/console
    mount --bind /dev/null /dev/kmsg

    ip link set lo up
    setup_ssh

    proved "ready to start systemd"
    exec env -i container=pellquin-sandbox PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        /lib/systemd/systemd --system --log-target=console --log-color=no --show-status=no \
        --unit=default.target </dev/null >>"$state/console.log" 2>&1
}

# The units of the sandbox: a default target, the system bus and an sshd. Nothing named
# sysinit.target, basic.target or systemd-tmpfiles-*: a unit the test writes that asks for
# sysinit.target (the default dependencies of a service) gets the empty stand-in below.
write_units() {
    local units=/etc/systemd/system
    cat >"$units/default.target" <<'EOF'
[Unit]
Description=Sandbox default target
Wants=dbus.socket dbus.service sshd.service
EOF
    cat >"$units/sysinit.target" <<'EOF'
[Unit]
Description=Stand-in for system initialisation (pulls in nothing)
DefaultDependencies=no
EOF
    cat >"$units/dbus.socket" <<'EOF'
[Unit]
Description=Sandbox system bus socket
DefaultDependencies=no

[Socket]
ListenStream=/run/dbus/system_bus_socket
EOF
    cat >"$units/dbus.service" <<'EOF'
[Unit]
Description=Sandbox system bus
DefaultDependencies=no
Requires=dbus.socket
After=dbus.socket

[Service]
ExecStart=/usr/bin/dbus-daemon --system --address=systemd: --nofork --nopidfile \
    --systemd-activation --nosyslog
EOF
    cat >"$units/sshd.service" <<'EOF'
[Unit]
Description=Sandbox sshd on 127.0.0.2:22
DefaultDependencies=no

[Service]
RuntimeDirectory=sshd
RuntimeDirectoryMode=0755
ExecStart=/usr/sbin/sshd -D -e -f /run/systemd-sandbox/ssh/sshd_config
EOF
    (cd "$units" && find . -mindepth 1 | sort) >"$state/units.list"
}

# A host key and a client key made for this sandbox; root logs in by key only. The client's
# configuration is root's own (~/.ssh on the sandbox's private /root), as an administrator's.
setup_ssh() {
    [ -x /usr/sbin/sshd ] || {
        echo "no sshd" >"$state/no-sshd"
        return 0
    }
    local dir=/run/systemd-sandbox/ssh
    mkdir -p "$dir/authorized_keys" && chmod 0755 "$dir" "$dir/authorized_keys"
    ssh-keygen -q -t ed25519 -N '' -C sandbox-host -f "$dir/host_ed25519_key"
    mount -t tmpfs -o mode=0700 tmpfs /root
    mkdir -m 0700 /root/.ssh
    ssh-keygen -q -t ed25519 -N '' -C sandbox-client -f /root/.ssh/id_ed25519
    install -m 0644 /root/.ssh/id_ed25519.pub "$dir/authorized_keys/root"
    # An ordinary account, written to the /etc overlay: no sudo, no polkit agent, no password
    # ("*" rather than the locked "!", which sshd without PAM refuses even with a key).
    getent passwd pqoperator >/dev/null ||
        useradd --no-create-home --home-dir / --shell /bin/sh --password '*' pqoperator
    install -m 0644 /root/.ssh/id_ed25519.pub "$dir/authorized_keys/pqoperator"
    local key
    key=$(cut -d' ' -f1,2 "$dir/host_ed25519_key.pub")
    echo "127.0.0.2,pellquin-remote $key" >/root/.ssh/known_hosts
    cat >/root/.ssh/config <<'EOF'
Host *
    BatchMode yes
    StrictHostKeyChecking yes
    UserKnownHostsFile /root/.ssh/known_hosts
    GlobalKnownHostsFile /dev/null
    IdentitiesOnly yes
    IdentityFile /root/.ssh/id_ed25519
    ConnectTimeout 20
EOF
    cat >"$dir/sshd_config" <<EOF
ListenAddress 127.0.0.2:22
HostKey $dir/host_ed25519_key
PermitRootLogin prohibit-password
PubkeyAuthentication yes
AuthorizedKeysFile $dir/authorized_keys/%u
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes yes
PidFile none
Subsystem sftp /usr/lib/openssh/sftp-server
EOF
    proved "sshd: 127.0.0.2:22, root and pqoperator by the sandbox's key only"
}

case "$mode" in
    boot) boot ;;
    inside) inside ;;
    *)
        echo "usage: $0 boot|inside STATE_DIRECTORY" >&2
        exit 2
        ;;
esac
