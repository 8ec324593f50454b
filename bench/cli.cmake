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

# `--target bench_reapply_wake`: how soon reapply --wait talks to a modem
# that appears, or is released, while it waits.
add_script_bench(bench_reapply_wake reapply_wake.py "Wake-up figures of tarvelle-cli reapply --wait"
    ENV PYTHONPATH=${CMAKE_SOURCE_DIR}/tools/wine
    ARGS --cli $<TARGET_FILE:tarvelle-cli>
        --profile ${CMAKE_SOURCE_DIR}/profile/TOLVEX.INI
        --config ${CMAKE_SOURCE_DIR}/tools/modem-sim/scenarios/demo.cfg
        --work ${CMAKE_BINARY_DIR}/bench_reapply_wake
    DEPENDS tarvelle-cli)

# `--target bench_busy_walk`: the look for other users of a port, while
# another user holds a million descriptors; run as root.
add_script_bench(bench_busy_walk busy_walk.py "The busy check against a million descriptors"
    ENV PYTHONPATH=${CMAKE_SOURCE_DIR}/tools/wine
    ARGS --cli $<TARGET_FILE:tarvelle-cli>
        --work ${CMAKE_BINARY_DIR}/bench_busy_walk
    DEPENDS tarvelle-cli modem-sim)
