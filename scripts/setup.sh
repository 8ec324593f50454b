#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if missing,
# and any further packages named on the command line (scripts/fuzz.sh adds clang).
# systemd is there for systemd-analyze and systemd-escape, which the boot
# unit's test runs; nothing starts it there. mmdebstrap and systemd-container
# (systemd-nspawn) make and boot the minimal Debian in which a real systemd
# starts the unit. strace watches what the command line
# opens. The cross compilers and qemu-user build the command line for ARM
# boards and run it here (qemu's -L finds the target's libraries, so no
# binfmt registration is needed); dpkg-dev reads the packages' dependencies.
# python3-jsonschema holds the command line's JSON to its schemas; ansible-core
# builds the Ansible collection and runs its playbook tests.
set -euo pipefail

packages=(
    cmake g++ make pkg-config python3
    libgtest-dev libgmock-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xauth x11-utils
    imagemagick librsvg2-bin nsis zip unzip lintian
    iaxmodem
    systemd strace python3-jsonschema ansible-core mmdebstrap systemd-container
    g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user dpkg-dev
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
