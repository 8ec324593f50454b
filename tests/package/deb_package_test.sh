#!/usr/bin/env bash
# The .deb that CPack makes: exactly the command line and its files, and a
# program that works from wherever the package is unpacked, finding its
# default profile beside itself. The same for each ARM build's package, named
# for its board, whose program runs here under qemu-user. Skipped (77) before
# the build has a command line, and when lintian is missing outside CI.
#   deb_package_test.sh <build folder> <source tree> <command-line target, empty if none>
#                       [ARM build folder]...
set -euo pipefail
build=$1 source=$2 cli_target=${3:-}
shift $(($# < 3 ? $# : 3))
[ -n "$cli_target" ] || { echo "no command line in this build" && exit 77; }
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
# A home of its own, so that no profile of the user running the test is found
# first; root's profile is /var/lib/tarvelle's, so root runs it as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$work"
fi
lintian=$(command -v lintian || true)
[ -n "$lintian" ] || [ "${CI:-}" != true ] || fail "lintian is missing (scripts/setup.sh installs it)"
shipped=$(sed -n '/^\[tolvx\]/,/^\[/p' "$source/profile/TOLVEX.INI" | grep -c '^[^;[]*=')

check() { # build folder, architecture, words that run its programs here (none: natively)
    local build=$1 arch=$2 && shift 2
    local out=$work/$arch run=("$@")
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" > "$work/cpack.log" ||
        { cat "$work/cpack.log" && fail "cpack for $arch" && return; }
    local deb=$out/tarvelle-cli_${TARVELLE_VERSION}_$arch.deb
    [ -f "$deb" ] || { fail "no $deb: $(ls "$out")" && return; }
    local files
    files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort | tr '\n' ' ')
    [ "$files" = "./usr/bin/tarvelle-cli ./usr/lib/systemd/system/tarvelle-reapply@.service \
./usr/share/bash-completion/completions/tarvelle-cli ./usr/share/doc/tarvelle-cli/changelog.gz \
./usr/share/doc/tarvelle-cli/copyright ./usr/share/doc/tarvelle-cli/examples/99-tarvelle-modem.rules \
./usr/share/man/man1/tarvelle-cli.1.gz ./usr/share/tarvelle/TOLVEX.INI " ] || fail "$arch: the package holds $files"
    # What the board's dpkg must find: its own C and C++ libraries, never a
    # cross toolchain's.
    local depends
    depends=$(dpkg-deb -f "$deb" Depends)
    [[ $depends =~ ^libc6\ \(\>=\ 2\.[0-9]+\),\ libgcc-s1\ \(\>=\ [0-9.]+\),\ libstdc\+\+6\ \(\>=\ [0-9]+\)$ ]] ||
        fail "$arch: depends on $depends"
    # The debug information the program was stripped of, under its build id.
    dpkg-deb -c "$out"/tarvelle-cli-dbgsym_*.ddeb 2> /dev/null |
        grep -Eq '\./usr/lib/debug/\.build-id/../.*\.debug$' || fail "$arch: no debug package with the program's build id"

    dpkg -x "$deb" "$out/x"
    cmp -s "$out/x/usr/share/tarvelle/TOLVEX.INI" "$source/profile/TOLVEX.INI" ||
        fail "$arch: the default profile is not profile/TOLVEX.INI"
    cli() { HOME=$work/home XDG_CONFIG_HOME=$work/home/.config TARVELLE_PROFILE= \
        "${as_user[@]}" "${run[@]}" "$out/x/usr/bin/tarvelle-cli" "$@"; }
    cli --help > "$work/help" 2>&1 || fail "$arch: --help: exit $?"
    grep -q reapply "$work/help" || fail "$arch: --help says $(cat "$work/help")"
    local listed
    listed=$(cli --json countries | grep -o '"key"' | wc -l) || fail "$arch: countries: exit $?"
    [ "$listed" -eq "$shipped" ] || fail "$arch: countries lists $listed entries, the default profile has $shipped"
    if [ -n "$lintian" ]; then
        # --fail-on: also a warning fails; info and pedantic tags do not.
        "$lintian" --fail-on error,warning "$deb" > "$work/lintian" 2>&1 || fail "$arch: lintian: $(cat "$work/lintian")"
    fi
}

TARVELLE_VERSION=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
check "$build" "$(dpkg --print-architecture)"
for arm in "$@"; do
    # The ARM build's cache says how this machine runs its programs.
    emulator=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:STRING=//p' "$arm/CMakeCache.txt")
    IFS=';' read -ra emulator <<< "$emulator"
    arch=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "\(.*\)")$/\1/p' "$arm/CPackConfig.cmake")
    [ -x "$arm/cli/tarvelle-cli" ] || { fail "no command line built in $arm" && continue; }
    check "$arm" "$arch" "${emulator[@]}"
done
if [ -z "$lintian" ] && [ "$failures" -eq 0 ]; then
    echo "lintian is missing: its checks are skipped" && exit 77
fi
[ "$failures" -eq 0 ] && echo "packages ok"
exit "$failures"
