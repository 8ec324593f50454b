# `cmake --build <native> --target bench_wine_idle`: the idle CPU of an open,
# silent port under Wine and the close latency (needs TARVELLE_WIN32_DIR).
if(WIN32 OR NOT TARVELLE_WIN32_DIR OR NOT TARGET modem-sim)
    return()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_target(bench_wine_idle
    COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
        ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wine_idle.py
        --probe ${TARVELLE_WIN32_DIR}/tools/win32/serial_probe.exe
        --sim $<TARGET_FILE:modem-sim>
        --work ${CMAKE_BINARY_DIR}/e2e
    DEPENDS modem-sim
    USES_TERMINAL
    COMMENT "Idle CPU and close latency of the Win32 serial link under Wine")
