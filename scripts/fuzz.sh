#!/usr/bin/env bash
# Fuzzes every fuzz target with libFuzzer (clang, ASan+UBSan) for the given
# number of seconds each (default 60) or until it has run ten million inputs,
# two targets at a time, and prints the executions and findings of each. The corpora grow in build/fuzz/corpus/,
# seeded from fuzz/corpus/; findings land in build/fuzz/artifacts/<target>/.
# Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reply ini_read ini_write country)

bash scripts/setup.sh clang libclang-rt-14-dev

build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVELLE_FUZZ=ON -DTARVELLE_SANITIZE=address > /dev/null
cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The longest input each target is given: a reply must be able to overrun the
# gathering buffer in one block; a profile of a kilobyte holds every shape of
# line, and a shorter input runs many times more often.
declare -A max_len=([reply]=4096 [ini_read]=1024 [ini_write]=1024 [country]=1024)
declare -A dict=([reply]=reply [ini_read]=ini [ini_write]=ini [country]=country)

fuzz() { # target
    local t=$1
    mkdir -p "$build/corpus/$t" "$build/artifacts/$t"
    "$build/fuzz/fuzz_$t" "$build/corpus/$t" "fuzz/corpus/$t" -max_total_time="$seconds" \
        -runs=10000000 -max_len="${max_len[$t]}" -dict="fuzz/dict/${dict[$t]}.dict" \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" \
        > "$build/$t.log" 2>&1 || true
}

# Two at a time: the next target starts as soon as one is done.
running=0
for t in "${targets[@]}"; do
    if [ $running -ge 2 ]; then
        wait -n
        running=$((running - 1))
    fi
    fuzz "$t" &
    running=$((running + 1))
done
wait

status=0
printf '%-10s %14s %8s %9s\n' target executions seconds findings
for t in "${targets[@]}"; do
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$t.log" | tail -1)
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$build/$t.log" | tail -1)
    found=$(find "$build/artifacts/$t" -type f | wc -l)
    printf '%-10s %14s %8s %9s\n' "$t" "${runs:-?}" "${took:-?}" "$found"
    if [ "$found" -gt 0 ] || [ -z "$runs" ]; then
        status=1
        echo "  see $build/$t.log and $build/artifacts/$t/"
    fi
done
exit $status
