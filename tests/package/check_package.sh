#!/usr/bin/env bash
# Checks the Windows package of a mingw build: the zip holds exactly the
# program, its flag library, the shipped profile and the licences; neither
# program file needs a DLL that a bare Windows lacks; the installer is a PE
# program.
#   check_package.sh <mingw build>/packaging <source tree> <mingw objdump>
set -euo pipefail
packaging=$1 source=$2 objdump=$3
top=tarvelle-1.4

if [ -f "$packaging/package-missing.txt" ]; then
    echo "no package: $(cat "$packaging/package-missing.txt")"
    exit 77
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

zip=$packaging/$top-win64.zip
[ -f "$zip" ] || { echo "FAIL: no $zip"; exit 1; }
expected=$(printf '%s\n' "$top/" "$top/LICENSE-flag-icons.txt" "$top/LICENSE.txt" \
    "$top/TOLVEX.DLL" "$top/TOLVEX.INI" "$top/tarvelle.exe" | sort)
listed=$(unzip -Z1 "$zip" | sort)
[ "$listed" = "$expected" ] || fail "zip holds:"$'\n'"$listed"$'\n'"expected:"$'\n'"$expected"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
cmp -s "$work/$top/TOLVEX.INI" "$source/profile/TOLVEX.INI" || fail "zip's TOLVEX.INI is not profile/TOLVEX.INI"
cmp -s "$work/$top/LICENSE.txt" "$source/LICENSE" || fail "zip's LICENSE.txt is not LICENSE"

# DLLs every Windows has; anything else (the mingw runtime above all) would
# have to ship beside the program.
system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll comdlg32.dll shell32.dll
    ole32.dll oleaut32.dll msvcrt.dll ntdll.dll version.dll winmm.dll shlwapi.dll uxtheme.dll "
for file in tarvelle.exe TOLVEX.DLL; do
    for dll in $("$objdump" -p "$work/$top/$file" | awk '/DLL Name:/ { print tolower($3) }'); do
        case "$system_dlls" in
            *" $dll "* | *api-ms-win-*) ;;
            *) fail "$file needs $dll" ;;
        esac
    done
done

# A PE program: "MZ", then "PE\0\0" at the offset stored at 0x3c.
setup=$packaging/$top-setup.exe
if [ ! -f "$setup" ]; then
    fail "no $setup"
else
    bytes() { od -An -c -j "$1" -N "$2" "$setup" 2> /dev/null | tr -d ' ' || true; }
    pe_at=$(od -An -t u4 -j 60 -N 4 "$setup" 2> /dev/null | tr -d ' ' || true)
    [ "$(bytes 0 2)" = MZ ] && [ "$(bytes "${pe_at:-0}" 4)" = 'PE\0\0' ] ||
        fail "installer is not a PE program"
fi

[ "$failures" -eq 0 ] && echo "package ok"
exit "$failures"
