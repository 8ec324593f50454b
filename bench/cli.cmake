# `cmake --build <native> --target bench_cli`: tarvelle-cli's figures against
# the simulated modem: start to first command, a scan of absent paths plus
# one modem, and a set against a slow modem.
if(WIN32 OR NOT TARGET modem-sim OR NOT TARGET tarvelle-cli)
    return()
endif()
add_script_bench(bench_cli cli_bench.py "Start, scan and slow-modem figures of tarvelle-cli"
    ENV PYTHONPATH=${CMAKE_SOURCE_DIR}/tools/wine
    ARGS --cli $<TARGET_FILE:tarvelle-cli>
        --profile ${CMAKE_SOURCE_DIR}/profile/TOLVEX.INI
        --work ${CMAKE_BINARY_DIR}/bench_cli
    DEPENDS tarvelle-cli)
