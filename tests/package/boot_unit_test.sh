#!/usr/bin/env bash
# The boot unit as systemd reads it, from a "cmake --install" tree: it runs
# the installed program with the re-apply command line, every instance name
# the README, the man page and the udev rule give names the intended device,
# and systemd finds nothing to object to (the man page it names included).
# Its sandbox is rated where systemd runs it (boot_unit_systemd_test.py). Skipped (77) where systemd-analyze is
# missing, unless CI=true, or where the build has no command line yet.
#   boot_unit_test.sh <build folder> <command-line target, empty if none>
set -euo pipefail
build=$1 cli_target=${2:-}
source=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" && exit 1; }
for tool in systemd-analyze systemd-escape; do
    command -v $tool > /dev/null && continue
    [ "${CI:-}" = true ] && fail "no $tool here (scripts/setup.sh installs it)"
    echo "no $tool here" && exit 77
done
[ -n "$cli_target" ] || { echo "no command line in this build" && exit 77; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr > /dev/null
unit=$root/usr/lib/systemd/system/tarvelle-reapply@.service
exec_line='ExecStart=/usr/bin/tarvelle-cli reapply --wait 30 --borrow --port /dev/%I'
grep -qxF "$exec_line" "$unit" || fail "no '$exec_line' in the unit"

# Each instance name as systemd expands it into the port: %I is the
# instance unescaped. (name as given, the device it must name)
expands_to() {
    local port=${exec_line##*--port } instance
    instance=$(systemd-escape -u -- "$1")
    [ "${port//%I/$instance}" = "$2" ] || fail "instance '$1' gives ${port//%I/$instance}, not $2"
}
rule=$root/usr/share/doc/tarvelle-cli/examples/99-tarvelle-modem.rules
grep -qF 'SYSTEMD_WANTS}+="tarvelle-reapply@%k.service"' "$rule" || fail "the rule's instance"
for kernel_name in ttyACM0 ttyUSB1; do expands_to "$kernel_name" "/dev/$kernel_name"; done
# The README and the man page (its "\-" read as "-"), every name they show.
names=$(sed 's/\\-/-/g' "$source/README.md" "$source/packaging/linux/tarvelle-cli.1" |
    grep -oE 'tarvelle-reapply@(\$\([^)]*\)|[^ ]*)\.service' | sort -u | grep -vx 'tarvelle-reapply@\.service')
[ "$(grep -c 'systemd-escape' <<< "$names")" -ge 1 ] || fail "no by-id name shown: $names"
while read -r name; do
    instance=${name#tarvelle-reapply@} && instance=${instance%.service}
    if [[ $instance =~ ^\$\(systemd-escape\ ([^\)]*)\)$ ]]; then
        read -ra words <<< "${BASH_REMATCH[1]}"
        device=${words[-1]} && [[ $device == /* ]] || device=/dev/$device
        expands_to "$(systemd-escape "${words[@]}" 2> /dev/null)" "$device"
    else
        expands_to "$instance" "/dev/$instance"
    fi
done <<< "$names"

# systemd-analyze wants the program to exist and "man tarvelle-cli" to find
# its page: point both into the install tree.
mkdir "$work/units"
sed "s|=/usr/bin/|=$root/usr/bin/|" "$unit" > "$work/units/tarvelle-reapply@.service"
# It reports a bad setting on stderr but still exits 0, so any output fails.
said=$(MANPATH=$root/usr/share/man systemd-analyze verify \
    "$work/units/tarvelle-reapply@ttyACM0.service" 2>&1) || fail "$said"
[ -z "$said" ] || fail "systemd-analyze says: $said"
echo "unit ok"
