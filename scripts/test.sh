#!/usr/bin/env bash
# Builds everything and runs every test: native tests (plain, ASan+UBSan,
# TSan) and the Wine tests of the Win32 program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
build() { # folder, extra cmake arguments...
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > /dev/null
    cmake --build "$dir" -j "$jobs"
}

build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
build build/native -DTARVELLE_WIN32_DIR="$PWD/build/win32"
build build/asan -DTARVELLE_SANITIZE=address
build build/tsan -DTARVELLE_SANITIZE=thread

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

echo "== ASan+UBSan =="
ctest --test-dir build/asan -LE e2e --output-on-failure -j "$jobs"
echo "== TSan =="
ctest --test-dir build/tsan -LE e2e --output-on-failure -j "$jobs"
echo "== Native and Wine =="
ctest --test-dir build/native --output-on-failure -j "$jobs"
