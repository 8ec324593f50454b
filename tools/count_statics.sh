#!/usr/bin/env bash
# Lists the product's mutable objects with static storage, one line per
# object, from the object files of a build folder (native or mingw-w64):
# data and bss symbols of app, dialog, modem, procedures, profile, serial,
# cli and common. Compiler-made symbols (guards, vtables, type information)
# are left out; so are objects the source declares const. A struct object
# shows once here and is counted once per member by hand.
#   tools/count_statics.sh build/native [build/win32]
set -euo pipefail
for dir in "$@"; do
    nm_tool=nm
    [[ -f "$dir/CMakeCache.txt" ]] && grep -q mingw "$dir/CMakeCache.txt" && nm_tool=x86_64-w64-mingw32-nm
    for folder in app dialog modem procedures profile serial cli common; do
        [[ -d "$dir/$folder" ]] || continue
        find "$dir/$folder" -name '*.o' -o -name '*.obj' | while read -r object; do
            source=$(basename "$object" | sed 's/\.o\(bj\)\?$//')
            [[ -f "$folder/$source" ]] || continue # left behind by a removed file
            "$nm_tool" -C --defined-only "$object" 2>/dev/null |
                awk -v o="$(basename "$object" | sed 's/\.cpp\.o.*//')" \
                    '$2 ~ /^[bBdD]$/ && $3 !~ /^\./ { $1 = ""; $2 = ""; print o ":" $0 }'
        done
    done
done | grep -vE 'guard variable|vtable|typeinfo|__tls_guard|\.refptr|_ZGV|__emutls' | sort -u
