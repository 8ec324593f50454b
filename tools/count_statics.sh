#!/usr/bin/env bash
# Lists the product's mutable objects with static storage, one line per
# object, from the object files of build folders (native and mingw-w64):
# data and bss symbols of app, dialog, modem, procedures, profile, serial,
# cli and common. Compiler-made symbols (guards, vtables, type information)
# are left out, and so are objects placed read-only (const tables; on ELF
# those that hold pointers sit in .data.rel.ro). A const object the
# compiler must construct at run time still shows here and is left out by
# hand; a struct object shows once and is counted once per member.
#   tools/count_statics.sh build/native [build/win32]
set -euo pipefail
symbols() { # object file, mingw or not
    if [[ $2 == mingw ]]; then
        x86_64-w64-mingw32-nm -C --defined-only "$1" 2>/dev/null |
            awk '$2 ~ /^[bBdD]$/ && $3 !~ /^\./ { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
    else
        objdump -t -C "$1" 2>/dev/null |
            awk '$3 == "O" && $4 ~ /^\.(data|bss)/ && $4 !~ /^\.data\.rel\.ro/ {
                     $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }'
    fi
}
for dir in "$@"; do
    kind=elf
    grep -q "^CMAKE_TOOLCHAIN_FILE.*mingw" "$dir/CMakeCache.txt" 2> /dev/null && kind=mingw
    for folder in app dialog modem procedures profile serial cli common; do
        [[ -d "$dir/$folder" ]] || continue
        find "$dir/$folder" -name '*.o' -o -name '*.obj' | while read -r object; do
            source=$(basename "$object" | sed 's/\.o\(bj\)\?$//')
            [[ -f "$folder/$source" ]] || continue # left behind by a removed file
            symbols "$object" "$kind" | sed "s|^|${source%.cpp}: |"
        done
    done
done | grep -vE 'guard variable|vtable|typeinfo|__tls_guard|\.refptr|_ZGV|__emutls|DW\.ref\.' | sort -u
