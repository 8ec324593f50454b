#!/usr/bin/env bash
# The .debs that CPack makes: exactly the command line and its files, and a
# program that works from wherever the package is unpacked, finding its
# default profile beside itself. An ARM build's package is named for its
# board, and its program runs here under qemu-user, as the build's cache
# says. Beside it, cockpit-tarvelle, the web console's page. Skipped (77)
# before the build has a command line, and when lintian is missing outside CI.
#   deb_package_test.sh <build folder> <source tree> <command-line target, empty if none>
set -euo pipefail
build=$1 source=$2 cli_target=${3:-}
[ -n "$cli_target" ] || { echo "no command line in this build" && exit 77; }
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" ||
    { cat "$work/cpack.log" && exit 1; }
# The emulator's words: none for a native build.
IFS=';' read -ra emulator <<< "$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:STRING=//p' "$build/CMakeCache.txt")"
arch=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$work/out/tarvelle-cli_${version}_${arch:-$(dpkg --print-architecture)}.deb
[ -f "$deb" ] || { echo "FAIL: no $deb but $(ls "$work/out")" && exit 1; }
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort | tr '\n' ' ')
[ "$files" = "./usr/bin/tarvelle-cli ./usr/lib/systemd/system/tarvelle-reapply@.service \
./usr/share/bash-completion/completions/tarvelle-cli ./usr/share/doc/tarvelle-cli/changelog.gz \
./usr/share/doc/tarvelle-cli/copyright ./usr/share/doc/tarvelle-cli/examples/99-tarvelle-modem.rules \
./usr/share/man/man1/tarvelle-cli.1.gz ./usr/share/tarvelle/TOLVEX.INI " ] || fail "the package holds $files"
# The board's own C and C++ libraries, each from the version that has every
# symbol the program needs, and never a cross toolchain's package.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends =~ ^libc6\ \(\>=\ 2\.[0-9]+\),\ libgcc-s1\ \(\>=\ [0-9.]+\),\ libstdc\+\+6\ \(\>=\ [0-9]+\)$ ]] ||
    fail "it depends on $depends"
# The debug information the program was stripped of, under its build id.
dpkg-deb -c "$work"/out/tarvelle-cli-dbgsym_*.ddeb 2> /dev/null |
    grep -Eq '\./usr/lib/debug/\.build-id/../.*\.debug$' || fail "no debug package with the program's build id"

# The web console's page, the same from every build: the page, a PNG for
# each flag bitmap, and its documents.
page=$work/out/cockpit-tarvelle_${version}_all.deb
files=$(dpkg-deb -c "$page" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort | tr '\n' ' ') || fail "no $page"
wanted=$({ printf './usr/share/cockpit/tarvelle/%s\n' cli.js index.html manifest.json page.js tarvelle.css
    for bitmap in "$source"/resources/flags/*.bmp; do
        echo "./usr/share/cockpit/tarvelle/flags/$(basename "$bitmap" .bmp).png"
    done
    printf './usr/share/doc/cockpit-tarvelle/%s\n' changelog.gz copyright; } | LC_ALL=C sort | tr '\n' ' ')
[ "$files" = "$wanted" ] || fail "the page's package holds $files"
fields=$(dpkg-deb -f "$page" Architecture Depends Recommends | tr '\n' ';')
[ "$fields" = "Architecture: all;Depends: cockpit-bridge, tarvelle-cli (>= $version);Recommends: cockpit-system;" ] ||
    fail "the page's package says $fields"

dpkg -x "$deb" "$work/x"
cmp -s "$work/x/usr/share/tarvelle/TOLVEX.INI" "$source/profile/TOLVEX.INI" ||
    fail "the default profile is not profile/TOLVEX.INI"
# A home of its own, so that no profile of the user running the test is found
# first; root's profile is /var/lib/tarvelle's, so root runs it as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$work"
fi
cli() { HOME=$work/home XDG_CONFIG_HOME=$work/home/.config TARVELLE_PROFILE= \
    "${as_user[@]}" "${emulator[@]}" "$work/x/usr/bin/tarvelle-cli" "$@"; }
cli --help > "$work/help" 2>&1 || fail "--help: exit $?"
grep -q reapply "$work/help" || fail "--help says $(cat "$work/help")"
listed=$(cli --json countries | grep -o '"key"' | wc -l) || fail "countries: exit $?"
shipped=$(sed -n '/^\[tolvx\]/,/^\[/p' "$source/profile/TOLVEX.INI" | grep -c '^[^;[]*=')
[ "$listed" -eq "$shipped" ] || fail "countries lists $listed entries, the default profile has $shipped"
if command -v lintian > /dev/null; then
    # --fail-on: also a warning fails; info and pedantic tags do not.
    lintian --fail-on error,warning "$deb" "$page" > "$work/lintian" 2>&1 || fail "lintian: $(cat "$work/lintian")"
elif [ "${CI:-}" = true ]; then
    fail "lintian is missing (scripts/setup.sh installs it)"
else
    echo "lintian is missing: its checks are skipped" && exit $((failures > 0 ? 1 : 77))
fi
[ "$failures" -eq 0 ] && echo "package ok: $(basename "$deb")"
exit "$failures"
