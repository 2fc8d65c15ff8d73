#!/usr/bin/env bash
# Installs what Pellquin needs to build, test and run on Debian 12, when it is missing.
# Runs as root (or through sudo). Safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    samba samba-dev smbclient libsmbclient-dev
    libasio-dev
    qt6-base-dev qt6-base-dev-tools xvfb xauth
    libcurl4-openssl-dev microsocks libpugixml-dev python3
    desktop-file-utils python3-gi
    libsystemd-dev dbus-daemon
    systemd util-linux openssh-client openssh-server
    procps iproute2 psmisc
    gvfs-backends gvfs-fuse
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # The packages include daemons (smbd, sshd) that tests start privately on loopback; none
    # may start machine-wide on install. Where no policy says so already, one does for the
    # length of the install.
    policy=/usr/sbin/policy-rc.d
    own_policy=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
        "${sudo_cmd[@]}" chmod 0755 "$policy"
        own_policy=1
    fi
    # GVfs pulls in udisks2, a system daemon that packaging enables for the next boot and the
    # system bus may start on demand; the tests never use it. One this install brings in is
    # masked, one the machine had already is left as it was.
    had_udisks2=0
    if dpkg-query -W -f='${Status}' udisks2 2>/dev/null | grep -q "install ok installed"; then
        had_udisks2=1
    fi
    status=0
    "${sudo_cmd[@]}" apt-get update -qq || status=$?
    if [ "$status" -eq 0 ]; then
        "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
            status=$?
    fi
    [ "$own_policy" = 1 ] && "${sudo_cmd[@]}" rm -f "$policy"
    if [ "$had_udisks2" = 0 ] && [ -e /lib/systemd/system/udisks2.service ] &&
        command -v systemctl >/dev/null 2>&1; then
        "${sudo_cmd[@]}" systemctl mask --quiet udisks2.service || true
    fi
    [ "$status" -eq 0 ] || exit "$status"
fi

# libnetapi reads /etc/samba/smb.conf and refuses to start without it; an empty file will do.
if [ ! -e /etc/samba/smb.conf ]; then
    "${sudo_cmd[@]}" mkdir -p /etc/samba
    "${sudo_cmd[@]}" touch /etc/samba/smb.conf
fi

# Our private servers bind 127.0.0.x:445; a packaged smbd on 0.0.0.0:445 would take the port.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet smbd 2>/dev/null; then
    echo "setup: stopping the packaged smbd, which holds port 445 on every address"
    "${sudo_cmd[@]}" systemctl stop smbd || true
fi
