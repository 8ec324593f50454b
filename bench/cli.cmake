# `cmake --build <native> --target bench_cli`: tarvelle-cli's figures against
# the simulated modem: start to first command, a scan of absent paths plus
# one modem, and a set against a slow modem.
if(WIN32 OR NOT TARGET modem-sim OR NOT TARGET tarvelle-cli)
    return()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_target(bench_cli
    COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
        PYTHONPATH=${CMAKE_SOURCE_DIR}/tools/wine
        ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/cli_bench.py
        --cli $<TARGET_FILE:tarvelle-cli>
        --sim $<TARGET_FILE:modem-sim>
        --profile ${CMAKE_SOURCE_DIR}/profile/TOLVEX.INI
        --work ${CMAKE_BINARY_DIR}/bench_cli
    DEPENDS modem-sim tarvelle-cli
    USES_TERMINAL
    COMMENT "Start, scan and slow-modem figures of tarvelle-cli")
