#!/usr/bin/env bash
# A private GNOME virtual file system session with SMB shares mounted through its FUSE bridge,
# for the tests: what GNOME Files shows a program as $XDG_RUNTIME_DIR/gvfs/smb-share:...
#
#   gvfs-session.sh DIR CREDENTIALS URL...
#
# DIR         an empty folder for the session (its runtime folder, bus config, logs)
# CREDENTIALS smbclient-style file (username =, password =, domain =) answered to GVfs's
#             password prompt
# URL         smb://server/share, percent-encoded as a file manager passes it
#
# Runs itself again as PID 1 of private PID and mount namespaces (unshare; needs root), so the
# FUSE mount is never seen outside and every daemon it starts dies with it. Inside, it starts
# its own session D-Bus, gvfsd and gvfsd-fuse on DIR/run, mounts each URL with `gio mount`,
# prints
#   mount MOUNT_DIR     one line for each URL, in their order
#   ready
# on stdout and waits for the line "end" on stdin; then it unmounts and stops every daemon by
# its PID. Should stdin end without it, the same happens and DIR is removed as well.
# Run programs in the mount with `nsenter --target PID --mount -- PROGRAM`, PID being that of
# this script as its parent started it (the unshare process, in the same mount namespace).
# Fails with status 1 and the reason on stderr; status 77 when this machine cannot run GVfs's
# SMB backend (the reason on stderr).
set -euo pipefail

readonly SKIP=77

if [ "$$" != 1 ]; then
    [ $# -ge 3 ] || {
        echo "usage: $0 DIR CREDENTIALS URL..." >&2
        exit 2
    }
    if ! reason=$(unshare --mount --pid --fork true 2>&1); then
        echo "cannot make private mount and PID namespaces: $reason" >&2
        exit "$SKIP"
    fi
    # --kill-child: should unshare die, its child (this script as PID 1) is killed, and with
    # it everything in the PID namespace. /proc stays the machine's so that a program run
    # through nsenter still finds its own /proc/self.
    exec unshare --mount --pid --fork --kill-child --propagation private "$0" "$@"
fi

dir=$1 credentials=$2
shift 2
if [ ! -r "$credentials" ]; then
    echo "gvfs-session: cannot read the credentials file $credentials" >&2
    exit 1
fi
urls=("$@")
mounted=()
pids=()

# Kills what is left, newest first; the FUSE mount goes with gvfsd-fuse, and the mount
# namespace with this script.
cleanup() {
    local status=$? pid
    for url in "${mounted[@]}"; do
        timeout 10 gio mount -u "$url" >/dev/null 2>&1 || true
    done
    fusermount3 -u -z "$dir/run/gvfs" 2>/dev/null || true
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "${orphaned:-}" ]; then
        rm -rf --one-file-system "$dir"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP

# The mounts here must not reach the machine's namespace: with private propagation no mount
# carries a peer group.
if grep -q ' shared:' /proc/self/mountinfo; then
    echo "gvfs-session: mounts still propagate out of this namespace" >&2
    exit 1
fi

for program in /usr/libexec/gvfsd /usr/libexec/gvfsd-fuse /usr/libexec/gvfsd-smb \
    /usr/bin/gio /usr/bin/dbus-daemon /usr/bin/gdbus /usr/bin/fusermount3; do
    if [ ! -x "$program" ]; then
        echo "needs $program (Debian packages gvfs-backends, gvfs-fuse, dbus-daemon)" >&2
        exit "$SKIP"
    fi
done
if [ ! -c /dev/fuse ]; then
    echo "needs /dev/fuse (the fuse kernel module)" >&2
    exit "$SKIP"
fi

mkdir -p "$dir/run/gvfs" "$dir/home"
chmod 0700 "$dir/run"
export XDG_RUNTIME_DIR=$dir/run HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config
export XDG_CACHE_HOME=$dir/home/.cache XDG_DATA_HOME=$dir/home/.local/share
# Only the SMB backend: no volume monitor (udisks2 and the like talk to the system bus) and no
# FUSE bridge started by gvfsd itself (this script starts its own, on a known PID).
export GIO_USE_VOLUME_MONITOR=unix GVFS_REMOTE_VOLUME_MONITOR_IGNORE=1
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY

# A bus of its own with no service directories: nothing is started on demand.
cat >"$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$dir/run</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
: >"$dir/bus.address"
dbus-daemon --config-file="$dir/bus.conf" --nofork --nosyslog --print-address=3 \
    3>"$dir/bus.address" 2>"$dir/dbus.log" &
pids+=($!)

# Waits up to $2 tenths of a second for the command $1 (evaluated) to succeed.
await() {
    local i
    for ((i = 0; i < $2; i++)); do
        if eval "$1"; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

await '[ -s "$dir/bus.address" ]' 50 || {
    echo "gvfs-session: dbus-daemon did not start: $(cat "$dir/dbus.log")" >&2
    exit 1
}
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$dir/bus.address")
export DBUS_SESSION_BUS_ADDRESS

/usr/libexec/gvfsd --no-fuse >"$dir/gvfsd.log" 2>&1 &
pids+=($!)
has_owner() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
await 'has_owner org.gtk.vfs.Daemon' 100 || {
    echo "gvfs-session: gvfsd did not start: $(cat "$dir/gvfsd.log")" >&2
    exit 1
}

/usr/libexec/gvfsd-fuse -f "$dir/run/gvfs" >"$dir/gvfsd-fuse.log" 2>&1 &
pids+=($!)
fuse_mounted() {
    grep -q " $dir/run/gvfs [^ ]* [^-]*- fuse.gvfsd-fuse " /proc/self/mountinfo
}
await fuse_mounted 100 || {
    echo "gvfs-session: gvfsd-fuse did not mount $dir/run/gvfs: $(cat "$dir/gvfsd-fuse.log")" >&2
    exit 1
}

# gio asks "User", "Domain", "Password" in that order, reading stdin when it is no terminal.
field() {
    sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]]*//p" "$credentials" | head -n 1
}
shares() {
    local entry
    for entry in "$dir/run/gvfs"/smb-share:*; do
        [ -d "$entry" ] && printf '%s\n' "$entry"
    done
    return 0
}
lines=()
for url in "${urls[@]}"; do
    before=$(shares)
    if ! printf '%s\n%s\n%s\n' "$(field username)" "$(field domain)" "$(field password)" |
        timeout 30 gio mount "$url" >"$dir/gio-mount.log" 2>&1; then
        echo "gvfs-session: gio mount $url failed: $(cat "$dir/gio-mount.log")" >&2
        exit 1
    fi
    mounted+=("$url")
    added=$(comm -13 <(printf '%s\n' "$before" | sort) <(shares | sort))
    if [ -z "$added" ] || [ "$(printf '%s\n' "$added" | wc -l)" -ne 1 ]; then
        echo "gvfs-session: no new smb-share folder under $dir/run/gvfs after mounting $url" >&2
        exit 1
    fi
    lines+=("mount $added")
done

printf '%s\n' "${lines[@]}"
echo ready
# "end" on stdin ends the session; the end of stdin alone means that the test died, and then
# nobody else removes DIR.
while read -r line; do
    [ "$line" = end ] && exit 0
done
orphaned=1
