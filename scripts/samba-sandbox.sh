#!/usr/bin/env bash
# A private Samba server on one loopback address, for the tests, the benchmark and the demo.
#
#   samba-sandbox.sh start DIR IP   build DIR (config, share, passwords, credentials files)
#                                   and start smbd on IP:445; returns once the port listens
#   samba-sandbox.sh stop DIR       stop the smbd and samba-dcerpcd of DIR; keeps DIR
#   samba-sandbox.sh stop DIR --remove   kill them at once (their state is thrown away), then
#                                   delete DIR
#
# After start, DIR holds:
#   smb.conf          the server's configuration (pass it to `net -s` and `smbpasswd -c`)
#   share/            the folder of the share [data], with a few nested folders and files
#   admin.credentials smbclient-style authentication file (mode 0600) of pqadmin, who is in
#                     BUILTIN\Administrators and may list and close open files
#   user.credentials  the same for pquser, an ordinary user
#   pid/              smbd.pid and, once the first RPC came in, samba-dcerpcd.pid
#
# Needs root: it creates the Unix accounts pqadmin and pquser and the group smbadmins
# (machine-wide, created once, safe when several sandboxes start at the same time) and binds
# port 445. The passwords are fixed and known: they are for these throwaway servers only.
set -euo pipefail

readonly ADMIN_USER=pqadmin
readonly ADMIN_PASSWORD='Sandbox-Admin-1'
readonly PLAIN_USER=pquser
readonly PLAIN_PASSWORD='Sandbox-User-1'
readonly ADMIN_GROUP=smbadmins
readonly ACCOUNTS_LOCK=/run/lock/pellquin-samba-accounts.lock

usage() {
    echo "usage: $0 start DIR IP | stop DIR [--remove]" >&2
    exit 2
}

# useradd/groupadd rewrite /etc/passwd and /etc/group: serialise them across sandboxes.
ensure_accounts() {
    mkdir -p "$(dirname "$ACCOUNTS_LOCK")"
    (
        flock 9
        getent group "$ADMIN_GROUP" >/dev/null || groupadd "$ADMIN_GROUP"
        if ! getent passwd "$ADMIN_USER" >/dev/null; then
            useradd -M -s /usr/sbin/nologin -G "$ADMIN_GROUP" "$ADMIN_USER"
        elif ! id -nG "$ADMIN_USER" | tr ' ' '\n' | grep -qx "$ADMIN_GROUP"; then
            usermod -a -G "$ADMIN_GROUP" "$ADMIN_USER"
        fi
        getent passwd "$PLAIN_USER" >/dev/null || useradd -M -s /usr/sbin/nologin "$PLAIN_USER"
    ) 9>"$ACCOUNTS_LOCK"
}

write_config() {
    local dir=$1 ip=$2
    cat >"$dir/smb.conf" <<EOF
[global]
  netbios name = PQSANDBOX
  workgroup = WORKGROUP
  server role = standalone server
  interfaces = $ip/8
  bind interfaces only = yes
  smb ports = 445
  disable netbios = yes
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  private dir = $dir/private
  pid directory = $dir/pid
  ncalrpc dir = $dir/ncalrpc
  log file = $dir/log/log.%m
  log level = 0
  passdb backend = tdbsam:$dir/private/passdb.tdb
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  usershare max shares = 0
  map to guest = never
[data]
  path = $dir/share
  read only = no
EOF
}

populate_share() {
    local share=$1
    mkdir -p "$share/reports/archive" "$share/rep" "$share/Projekte Übersicht" "$share/bench"
    printf 'readme\n' >"$share/readme.txt"
    printf 'q1\n' >"$share/reports/q1.xls"
    printf 'q2\n' >"$share/reports/q2.xls"
    printf 'old\n' >"$share/reports/archive/2023 summary.txt"
    printf 'rep\n' >"$share/rep/notes.txt"
    printf 'café\n' >"$share/Projekte Übersicht/Café Zürich.txt"
    # Every sandbox user may read and write everything in the share.
    chmod -R a+rwX "$share"
}

write_credentials() {
    local file=$1 user=$2 password=$3
    (
        umask 077
        printf 'username = %s\npassword = %s\ndomain = WORKGROUP\n' "$user" "$password" >"$file"
    )
    chmod 0600 "$file"
}

port_listens() {
    timeout 1 bash -c "exec 3<>/dev/tcp/$1/445" 2>/dev/null
}

start() {
    local dir=$1 ip=$2
    ensure_accounts
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    # smbd serves as the connecting user, who must be able to walk into the share.
    chmod 0755 "$dir"
    mkdir -p "$dir"/{lock,state,cache,private,pid,ncalrpc,log,share}
    write_config "$dir" "$ip"
    populate_share "$dir/share"
    local conf=$dir/smb.conf
    printf '%s\n%s\n' "$ADMIN_PASSWORD" "$ADMIN_PASSWORD" |
        smbpasswd -c "$conf" -a -s "$ADMIN_USER" >/dev/null
    printf '%s\n%s\n' "$PLAIN_PASSWORD" "$PLAIN_PASSWORD" |
        smbpasswd -c "$conf" -a -s "$PLAIN_USER" >/dev/null
    if ! net -s "$conf" groupmap list 2>/dev/null | grep -q 'S-1-5-32-544'; then
        net -s "$conf" groupmap add sid=S-1-5-32-544 unixgroup="$ADMIN_GROUP" type=builtin \
            >/dev/null
    fi
    net -s "$conf" cache flush >/dev/null 2>&1 || true
    write_credentials "$dir/admin.credentials" "$ADMIN_USER" "$ADMIN_PASSWORD"
    write_credentials "$dir/user.credentials" "$PLAIN_USER" "$PLAIN_PASSWORD"

    if port_listens "$ip"; then
        # Most often a sandbox whose test crashed before stopping it.
        echo "samba-sandbox: $ip:445 is already taken:" >&2
        ss -ltnpH "src $ip:445 or src 0.0.0.0:445" >&2 || true
        exit 1
    fi
    smbd -D -s "$conf"
    local i
    for i in $(seq 1 400); do
        if port_listens "$ip"; then
            return 0
        fi
        sleep 0.05
    done
    echo "samba-sandbox: smbd did not listen on $ip:445 (see $dir/log)" >&2
    stop "$dir"
    exit 1
}

# The pid in a pid file when that process still runs, else nothing.
live_pid() {
    local pidfile=$1 pid
    [ -s "$pidfile" ] || return 0
    pid=$(tr -dc '0-9' <"$pidfile")
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        echo "$pid"
    fi
}

# Sends a signal to a daemon and its process group (smbd -D and samba-dcerpcd each lead their
# own session, with their workers in it); only the pid itself when it does not lead its
# group, so that a reused pid's group is spared.
signal_daemon() {
    local signal=$1 pid=$2
    if [ "$(ps -o pgid= -p "$pid" | tr -d ' ')" = "$pid" ]; then
        kill "-$signal" -- "-$pid" 2>/dev/null || true
    else
        kill "-$signal" "$pid" 2>/dev/null || true
    fi
}

# Whether a process still runs; a zombie waiting for init to reap it has finished.
running() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ $state != Z* ]]
}

# stop DIR [SIGNAL]: TERM lets smbd shut down cleanly (about a second), KILL is immediate.
stop() {
    local dir=$1 signal=${2:-TERM} pids=() pid i
    [ -d "$dir" ] || return 0
    for pid in $(live_pid "$dir/pid/smbd.pid") $(live_pid "$dir/pid/samba-dcerpcd.pid"); do
        pids+=("$pid")
        signal_daemon "$signal" "$pid"
    done
    for i in $(seq 1 60); do
        local alive=()
        for pid in "${pids[@]}"; do
            if running "$pid"; then
                alive+=("$pid")
            fi
        done
        [ ${#alive[@]} -eq 0 ] && return 0
        sleep 0.05
    done
    for pid in "${alive[@]}"; do
        signal_daemon KILL "$pid"
    done
}

case "${1:-}" in
start)
    [ $# -eq 3 ] || usage
    start "$2" "$3"
    ;;
stop)
    [ $# -ge 2 ] || usage
    if [ "${3:-}" = "--remove" ]; then
        stop "$2" KILL
        rm -rf -- "$2"
    else
        stop "$2"
    fi
    ;;
*)
    usage
    ;;
esac
