#!/usr/bin/env bash
# Builds everything and runs every test: native tests (plain, ASan+UBSan,
# TSan), the command line's tests again for arm64 and armhf under qemu-user,
# and the Wine tests of the Win32 program.
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
# The command line for ARM boards: the native build runs its tests again
# under qemu-user and checks its packages.
build build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
build build/armhf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
build build/native -DTARVELLE_WIN32_DIR="$PWD/build/win32" \
    -DTARVELLE_ARM64_DIR="$PWD/build/arm64" -DTARVELLE_ARMHF_DIR="$PWD/build/armhf"
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
