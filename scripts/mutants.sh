#!/usr/bin/env bash
# Plants plausible one-line faults in the code, one at a time, and runs the
# native tests against each: a fault that no test notices is a survivor.
#   scripts/mutants.sh [LIST] [NAME-PATTERN]
# LIST (default scripts/mutants.txt) holds one block per fault, blocks
# separated by blank lines:
#   # what a developer got wrong (the mutant's name)
#   file: path/from/the/top
#   find: exact text, found exactly once in the file
#   into: the text it becomes
# NAME-PATTERN (grep -E) runs only the mutants whose names match.
#
# The work happens in a copy of the tree (build/mutants/src, built in
# build/mutants/build), so the tree itself is never changed. A mutant whose
# text is not found once is "stale" and one that does not compile is
# "no-build": neither is counted. Every test has a time limit, so a fault
# that makes a test hang is caught when the limit ends it.
# Environment: MUTANT_JOBS (ctest -j, default 2), MUTANT_TEST_TIMEOUT (for a
# test without a TIMEOUT of its own, default 120 s).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
list=$(realpath "${1:-$top/scripts/mutants.txt}")
pattern=${2:-}
work=$top/build/mutants
src=$work/src build=$work/build
jobs=${MUTANT_JOBS:-2}
mkdir -p "$src" "$build"

# The copy follows the tree's files (tracked and new, not ignored); only a
# file that differs is copied, so the build there stays incremental.
sync_copy() {
    (cd "$top" && git ls-files -z --cached --others --exclude-standard) |
        while IFS= read -r -d '' file; do
            [ -f "$top/$file" ] || continue
            cmp -s "$top/$file" "$src/$file" 2> /dev/null && continue
            mkdir -p "$(dirname "$src/$file")" && cp "$top/$file" "$src/$file"
        done
}

# The one file a mutant changed, put back from the tree. A plain copy gives
# it a new time, so the next build compiles it again.
mutated=""
restore() {
    if [ -n "$mutated" ]; then
        cp "$top/$mutated" "$src/$mutated"
        mutated=""
    fi
}
trap restore EXIT

# file find into -> exit 0 when planted, 3 when the text is not there once.
plant() {
    python3 - "$src/$1" "$2" "$3" << 'EOF'
import sys
path, find, into = sys.argv[1:4]
with open(path, newline="") as f:
    text = f.read()
if text.count(find) != 1:
    sys.exit(3)
with open(path, "w", newline="") as f:
    f.write(text.replace(find, into))
EOF
}

build_copy() {
    cmake --build "$build" -j "$jobs" > "$work/build.log" 2>&1
}

# Runs the native tests; prints the first test that failed, if any.
run_tests() {
    rm -f "$build/Testing/Temporary/LastTestsFailed.log"
    if timeout 3600 ctest --test-dir "$build" -LE e2e -j "$jobs" --stop-on-failure \
        --timeout "${MUTANT_TEST_TIMEOUT:-120}" > "$work/test.log" 2>&1; then
        return 0
    fi
    local first
    first=$(sed -n 's/^[0-9]*://p' "$build/Testing/Temporary/LastTestsFailed.log" 2> /dev/null |
        head -1)
    echo "${first:-ctest}"
    return 1
}

sync_copy
# A run cut short may have left a mutant compiled: its file is made newer
# than any object built from it.
if [ -f "$work/planted" ]; then
    touch "$src/$(cat "$work/planted")"
fi
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$work/configure.log"
echo "building the unchanged copy in $build"
build_copy || { cat "$work/build.log" && exit 1; }
echo "running the tests on the unchanged copy"
if failed=$(run_tests); then :; else
    echo "the unchanged tree fails $failed: fix that first (log: $work/test.log)"
    exit 1
fi

results=() caught=0 counted=0 name="" file="" find="" into=""
run_one() {
    [ -n "$file" ] || return 0
    local outcome started=$SECONDS
    if [ -n "$pattern" ] && ! grep -qE -- "$pattern" <<< "$name"; then
        file="" && return 0
    fi
    restore
    echo "$file" > "$work/planted"
    if plant "$file" "$find" "$into"; then
        mutated=$file
        if ! build_copy; then
            outcome="no-build"
        elif by=$(run_tests); then
            outcome="SURVIVED"
            counted=$((counted + 1))
        else
            outcome="caught by $by"
            caught=$((caught + 1)) counted=$((counted + 1))
        fi
    else
        outcome="stale"
    fi
    printf '%-9s %4ss  %s (%s)\n' "${outcome%% *}" $((SECONDS - started)) "$name" "$file"
    results+=("$(printf '%-40s %s' "$outcome" "$name ($file)")")
    file="" find="" into=""
}

while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    "# "*) run_one && name=${line#\# } ;;
    file:*) file=${line#file:} && file=${file# } ;;
    find:*) find=${line#find:} && find=${find# } ;;
    into:*) into=${line#into:} && into=${into# } ;;
    "") run_one ;;
    esac
done < "$list"
run_one
restore
build_copy && rm -f "$work/planted" # leave the copy built as the tree is

echo
printf '%s\n' "${results[@]}"
if [ "$counted" -gt 0 ]; then
    echo "caught $caught of $counted ($((100 * caught / counted)).$((1000 * caught / counted % 10)) %)"
fi
