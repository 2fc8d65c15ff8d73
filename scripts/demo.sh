#!/usr/bin/env bash
# The main job: builds Pellquin, starts a private Samba server on 127.0.0.2 with files held
# open by an ordinary user and the Pellquin query service beside it, then shows who holds
# what: in the desktop program when a display is available, else with pellquin-cli.
# Everything it started is stopped when it ends (also on Ctrl-C).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh
build=${PELLQUIN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
gui=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${PELLQUIN_DEMO_CLI:-}" ]; then
    gui=1
fi
targets=(pellquin-cli pellquin_service pellquin-holder)
[ "$gui" = 1 ] && targets+=(pellquin)
cmake --build "$build" --target "${targets[@]}"

ip=${PELLQUIN_DEMO_IP:-127.0.0.2}
demo=$(mktemp -d /tmp/pellquin-demo.XXXXXX)
chmod 0755 "$demo"  # the share lies below it and smbd serves as the connecting user
holder_pid=
service_pid=
cleanup() {
    set +e
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
    [ -n "$holder_pid" ] && kill "$holder_pid" 2>/dev/null && wait "$holder_pid" 2>/dev/null
    "$root/scripts/samba-sandbox.sh" stop "$demo/samba" --remove
    rm -rf "$demo"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== Starting a private Samba server on $ip (share \\\\$ip\\data)"
scripts/samba-sandbox.sh start "$demo/samba" "$ip"
share=$demo/samba/share

# The ordinary user pquser holds a few files open, as an office program would.
mkfifo "$demo/holder.in"
"$build/tests/support/samba/pellquin-holder" --credentials "$demo/samba/user.credentials" \
    --server "$ip" r:readme.txt w:reports/q1.xls r:reports/q2.xls \
    "r:reports/archive/2023 summary.txt" "w:Projekte Übersicht/Café Zürich.txt" \
    <"$demo/holder.in" >"$demo/holder.out" &
holder_pid=$!
exec 8>"$demo/holder.in"  # keeps the holder's stdin open until the demo ends
for _ in $(seq 1 100); do
    grep -q '^ready' "$demo/holder.out" 2>/dev/null && break
    sleep 0.1
done
grep -q '^ready' "$demo/holder.out" || { echo "the file holder did not start" >&2; exit 1; }
echo "== pquser holds 5 files open"

# The query service answers for the server with the administrator's credentials.
umask 077
cat >"$demo/service.conf" <<CONF
samba_server = $ip
credentials_file = $demo/samba/admin.credentials
log_dir = $demo
CONF
"$build/src/queryservice/PellquinService" --foreground --listen "$ip" --port 8021 \
    --config "$demo/service.conf" &
service_pid=$!
for _ in $(seq 1 50); do
    (exec 3<>"/dev/tcp/$ip/8021") 2>/dev/null && break
    sleep 0.1
done
echo "== Pellquin query service listening on $ip:8021"

cli=$build/src/cli/pellquin-cli
if [ "$gui" = 1 ]; then
    # The desktop program runs as the ordinary user's credentials, so its checks go through
    # the query service; the administrator's file is in $demo/samba/admin.credentials.
    mkdir -p "$demo/config/pellquin"
    cp "$demo/samba/user.credentials" "$demo/config/pellquin/credentials"
    # Started with the share's UNC name, as the file manager's "Check With Pellquin" would:
    # the check runs at start (after the first-run welcome box) and the Users tab shows the
    # held files. Settings and any menu entries the welcome box installs stay in $demo.
    echo "== Opening Pellquin on \\\\$ip\\data (close the window to end the demo)"
    # A private runtime directory (mode 0700, as Qt requires), removed with $demo, so that Qt
    # neither warns about a missing one nor leaves /tmp/runtime-root behind.
    mkdir -m 0700 "$demo/runtime"
    XDG_CONFIG_HOME=$demo/config XDG_DATA_HOME=$demo/data XDG_RUNTIME_DIR=$demo/runtime \
        "$build/src/app/pellquin" "\\\\$ip\\data" || true
else
    echo
    echo "== An administrator checks the share directly:"
    "$cli" --credentials "$demo/samba/admin.credentials" --mechanism direct check "\\\\$ip\\data"
    echo
    echo "== An ordinary user checks the reports folder (direct is denied; the service answers):"
    "$cli" --credentials "$demo/samba/user.credentials" check "//$ip/data/reports"
    echo
    echo "== The same user without the service (--mechanism direct):"
    "$cli" --credentials "$demo/samba/user.credentials" --mechanism direct check \
        "//$ip/data/reports" || true
    echo
    echo "== Query service log:"
    cat "$demo/Pellquin.log" 2>/dev/null || true
fi
