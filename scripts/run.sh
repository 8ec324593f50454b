#!/usr/bin/env bash
# Builds what the demo needs and starts the program under Wine against a
# simulated AT+GCI modem on COM3. It uses the display in $DISPLAY, or an Xvfb
# of its own when there is none (and then saves a screenshot). The Wine prefix
# is kept in ~/.local/share/tarvelle (made on the first run), and so is the
# simulated modem's memory.
#
# Arguments like COM3=/dev/ttyACM0 link a COM port to a real device instead;
# a port given a device gets no simulated modem.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake > /dev/null
cmake --build build/win32 -j "$jobs"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVELLE_WIN32_DIR="$PWD/build/win32" > /dev/null
cmake --build build/native -j "$jobs" --target modem-sim

probe=build/win32/tools/win32/serial_probe.exe
driver=build/win32/tools/win32/tarvelle_driver.exe
# The program to start, with its arguments.
program=(build/win32/app/tarvelle.exe)

devices=()
for mapping in "$@"; do
    devices+=(--device "$mapping")
done

home="${XDG_DATA_HOME:-$HOME/.local/share}/tarvelle"
exec python3 tools/wine/harness.py run --home "$home" --port 3 \
    --sim build/native/tools/modem-sim/modem-sim --config tools/modem-sim/scenarios/demo.cfg \
    --probe "$probe" --driver "$driver" "${devices[@]}" "${program[@]}"
