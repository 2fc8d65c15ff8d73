#!/usr/bin/env bash
# Installs what the Windows cross builds need on Debian 12, when it is missing: the mingw-w64
# compilers (the -posix thread variants, for std::mutex and std::thread), Wine to run the
# 64-bit tests, GoogleTest's sources (built for Windows inside the build) and Asio.
# Runs as root (or through sudo). Safe to run again.
set -euo pipefail

packages=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    wine64
    googletest libasio-dev
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
    echo "windows-setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
