#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if missing,
# and any further packages named on the command line (scripts/fuzz.sh adds clang).
# systemd is there for systemd-analyze and systemd-escape, which the boot
# unit's test runs; nothing starts it there. mmdebstrap and systemd-container
# (systemd-nspawn) make and boot the minimal Debian in which a real systemd
# starts the unit. strace watches what the command line opens. The cross compilers and qemu-user build the command line for ARM
# boards and run it here (qemu's -L finds the target's libraries, so no
# binfmt registration is needed); dpkg-dev reads the packages' dependencies.
# python3-jsonschema holds the command line's JSON to its schemas; ansible-core
# builds the Ansible collection and runs its playbook tests, and ansible brings
# the json callback (ansible.posix) that the tests read the playbooks' results
# with. mgetty and HylaFAX's faxgetty are the real gettys that a borrowed
# port is taken from and given back to; the tests start them by hand.
#
# Packages are installed without the ones they merely recommend, which on a
# fresh machine cost more than all the rest (ansible-core alone recommends
# the whole ansible bundle and its cloud libraries); what the tests need of
# such packages is named above instead. Wine keeps its recommends: its fonts
# (the dialogs' MS Sans Serif) and the X libraries its display driver loads
# come only with them. Packages named on the command line keep theirs too.
set -euo pipefail

packages=(
    cmake g++ make pkg-config python3
    libgtest-dev libgmock-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-x86-64-posix
    xvfb xauth x11-utils
    imagemagick librsvg2-bin nsis zip unzip lintian
    iaxmodem
    mgetty hylafax-server
    systemd strace python3-jsonschema ansible-core ansible mmdebstrap systemd-container
    g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user dpkg-dev
    cockpit-ws cockpit-bridge chromium chromium-driver python3-selenium
)
with_recommends=(wine wine64 "$@")

missing() {
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}
mapfile -t plain < <(missing "${packages[@]}")
mapfile -t recommending < <(missing "${with_recommends[@]}")

if [ ${#plain[@]} -gt 0 ] || [ ${#recommending[@]} -gt 0 ]; then
    echo "Installing: ${plain[*]} ${recommending[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    install=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q)
    if [ ${#plain[@]} -gt 0 ]; then
        "${install[@]}" --no-install-recommends "${plain[@]}"
    fi
    if [ ${#recommending[@]} -gt 0 ]; then
        "${install[@]}" "${recommending[@]}"
    fi
fi
