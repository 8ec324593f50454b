#!/usr/bin/env bash
# The boot unit as systemd reads it, from a "cmake --install" tree: it runs
# the installed program with the re-apply command line, and systemd finds
# nothing to object to, the man page it names included. Skipped (77) where
# systemd-analyze is missing or the build has no command line yet.
#   boot_unit_test.sh <build folder> <command-line target, empty if none>
set -euo pipefail
build=$1 cli_target=${2:-}
command -v systemd-analyze > /dev/null || { echo "no systemd-analyze here" && exit 77; }
[ -n "$cli_target" ] || { echo "no command line in this build" && exit 77; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr > /dev/null
unit=$root/usr/lib/systemd/system/tarvelle-reapply@.service
exec_line='ExecStart=/usr/bin/tarvelle-cli reapply --wait 30 --port /dev/%I'
grep -qxF "$exec_line" "$unit" || { echo "FAIL: no '$exec_line' in the unit" && exit 1; }

# systemd-analyze wants the program to exist and "man tarvelle-cli" to find
# its page: point both into the install tree.
mkdir "$work/units"
sed "s|=/usr/bin/|=$root/usr/bin/|" "$unit" > "$work/units/tarvelle-reapply@.service"
# It reports a bad setting on stderr but still exits 0, so any output fails.
said=$(MANPATH=$root/usr/share/man systemd-analyze verify \
    "$work/units/tarvelle-reapply@ttyACM0.service" 2>&1) || { echo "FAIL: $said" && exit 1; }
[ -z "$said" ] || { echo "FAIL: systemd-analyze says: $said" && exit 1; }
echo "unit ok"
