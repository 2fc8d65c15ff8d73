#!/usr/bin/env bash
# Builds the Debian packages from a configured build tree, checks them (lintian, the desktop
# entry, the AppStream metainfo, the systemd unit), installs them on this machine, runs the
# installed programs (versions, manuals, the help pages, the query service answering a query
# against a private Samba server), then purges them and checks that nothing is left.
# Runs as root on Debian 12; `scripts/test.sh` has built the tree first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${PELLQUIN_BUILD_DIR:-build}
step() { echo "package-test: $1 ($SECONDS s)"; }

packages=(lintian desktop-file-utils appstream man-db dpkg-dev fakeroot)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if dpkg-query -W pellquin-service >/dev/null 2>&1 || getent passwd pellquin >/dev/null; then
    echo "package-test: Pellquin packages or the pellquin user already exist on this machine;" \
        "refusing to install over them" >&2
    exit 1
fi

work=$(mktemp -d /tmp/pellquin-package-test.XXXXXX)
chmod 0755 "$work"
holder_pid=
service_pid=
installed=0
cleanup() {
    # Every step runs whatever the one before returned (a killed process's wait is non-zero).
    set +e
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
    [ -n "$holder_pid" ] && kill "$holder_pid" 2>/dev/null && wait "$holder_pid" 2>/dev/null
    "$root/scripts/samba-sandbox.sh" stop "$work/samba" --remove 2>/dev/null || true
    if [ "$installed" = 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq pellquin pellquin-cli \
            pellquin-service >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

cmake --build "$build"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB -B "$root/$build/packages" >/dev/null)
debs=("$build"/packages/*.deb)
step "built ${#debs[@]} packages: $(basename -a "${debs[@]}" | tr '\n' ' ')"

# lintian: errors fail; the warnings and informational tags kept are listed in the README.
lintian --tag-display-limit 0 -I "${debs[@]}" 2>/dev/null | tee "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then
    echo "package-test: lintian reports errors" >&2
    exit 1
fi
step "lintian: no errors"

extract=$work/extract
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$extract"; done
desktop-file-validate "$extract"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$extract"/usr/share/metainfo/*.metainfo.xml
step "desktop entry and metainfo valid"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]/#/./}" >/dev/null
installed=1
step "installed"

systemd-analyze verify /lib/systemd/system/Pellquin.service
systemd-analyze security --offline=true /lib/systemd/system/Pellquin.service | tail -1
[ -L /etc/systemd/system/multi-user.target.wants/Pellquin.service ] &&
    { echo "package-test: the service was enabled by the package" >&2; exit 1; }
getent passwd pellquin >/dev/null || { echo "package-test: no pellquin user" >&2; exit 1; }

pellquin-cli --version
/usr/libexec/pellquin/PellquinService --version
QT_QPA_PLATFORM=offscreen pellquin --version
man -w pellquin pellquin-cli PellquinService >/dev/null
[ -f /usr/share/pellquin/help/index.html ]
QT_QPA_PLATFORM=offscreen pellquin --help | grep -q /usr/share/pellquin/help/index.html
step "versions, manuals and help pages in place"

# The installed service, as its own user with the packaged defaults otherwise, answers an
# ordinary user's query for a private Samba server where a file is held open.
ip=127.0.0.200
scripts/samba-sandbox.sh start "$work/samba" "$ip"
mkfifo "$work/holder.in"
"$build/tests/support/samba/pellquin-holder" --credentials "$work/samba/user.credentials" \
    --server "$ip" r:readme.txt <"$work/holder.in" >"$work/holder.out" &
holder_pid=$!
exec 8>"$work/holder.in"
for _ in $(seq 1 100); do
    grep -q '^ready' "$work/holder.out" 2>/dev/null && break
    sleep 0.1
done
install -o pellquin -g pellquin -m 0600 "$work/samba/admin.credentials" "$work/credentials"
install -d -o pellquin -g pellquin -m 0750 "$work/log"
cat >"$work/service.conf" <<CONF
listen = $ip
samba_server = $ip
credentials_file = $work/credentials
log_dir = $work/log
CONF
setpriv --reuid=pellquin --regid=pellquin --init-groups \
    /usr/libexec/pellquin/PellquinService --foreground --config "$work/service.conf" \
    >"$work/service.out" 2>&1 &
service_pid=$!
for _ in $(seq 1 50); do
    (exec 3<>"/dev/tcp/$ip/8021") 2>/dev/null && break
    sleep 0.1
done
pellquin-cli --mechanism service --credentials "$work/samba/user.credentials" \
    check "\\\\$ip\\data" | tee "$work/rows.txt"
grep -q 'readme.txt' "$work/rows.txt" || {
    echo "package-test: the installed service did not list the held file" >&2
    cat "$work/service.out" >&2
    exit 1
}
step "the installed service answered as user pellquin"
kill "$service_pid"
wait "$service_pid" 2>/dev/null || true
service_pid=

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq pellquin pellquin-cli pellquin-service \
    >/dev/null
installed=0
for left in /usr/bin/pellquin /usr/bin/pellquin-cli /usr/libexec/pellquin /etc/pellquin \
    /var/lib/pellquin /lib/systemd/system/Pellquin.service; do
    [ -e "$left" ] && { echo "package-test: $left is left after purge" >&2; exit 1; }
done
getent passwd pellquin >/dev/null && { echo "package-test: user pellquin left" >&2; exit 1; }
step "purged, nothing left"
