#!/usr/bin/env bash
# The Windows package of a mingw build: a zip of exactly the program, the command line,
# the flag library, the shipped profile and the licences, needing no DLL a bare Windows lacks, and a PE
# installer ("MZ", then "PE\0\0" at the offset stored at 0x3c).
#   check_package.sh <mingw build>/packaging <source tree> <mingw objdump>
set -euo pipefail
packaging=$1 source=$2 objdump=$3 top=tarvelle-1.4
# Skipped only off CI: there a missing package is a broken build.
if [ -f "$packaging/package-missing.txt" ]; then
    echo "no package: $(cat "$packaging/package-missing.txt")"
    [ "${CI:-}" = true ] && exit 1
    exit 77
fi
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
unzip -q "$packaging/$top-win64.zip" -d "$work" || { echo "FAIL: no $top-win64.zip" && exit 1; }
listed=$(cd "$work" && find "$top" | LC_ALL=C sort | tr '\n' ' ')
[ "$listed" = "$top $top/LICENSE-flag-icons.txt $top/LICENSE.txt $top/TOLVEX.DLL $top/TOLVEX.INI $top/tarvelle-cli.exe $top/tarvelle.exe " ] ||
    fail "zip holds $listed"
cmp -s "$work/$top/TOLVEX.INI" "$source/profile/TOLVEX.INI" || fail "TOLVEX.INI is not profile/TOLVEX.INI"
cmp -s "$work/$top/LICENSE.txt" "$source/LICENSE" || fail "LICENSE.txt is not LICENSE"
system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll comdlg32.dll shell32.dll ole32.dll oleaut32.dll msvcrt.dll ntdll.dll version.dll winmm.dll shlwapi.dll uxtheme.dll "
for file in tarvelle.exe tarvelle-cli.exe TOLVEX.DLL; do
    for dll in $("$objdump" -p "$work/$top/$file" | awk '/DLL Name:/ { print tolower($3) }'); do
        [[ $system_dlls == *" $dll "* || $dll == api-ms-win-* ]] || fail "$file needs $dll"
    done
done
setup=$packaging/$top-setup.exe pe_at=$(od -An -t u4 -j 60 -N 4 "$packaging/$top-setup.exe" 2> /dev/null | tr -d ' ' || true)
[ "$(head -c 2 "$setup" 2> /dev/null)" = MZ ] &&
    [ "$(od -An -c -j "${pe_at:-0}" -N 4 "$setup" | tr -d ' ')" = 'PE\0\0' ] || fail "no PE $setup"
[ "$failures" -eq 0 ] && echo "package ok"; exit "$failures"
