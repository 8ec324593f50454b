# `cmake --build <native> --target bench_wine_idle`: the idle CPU of an open,
# silent port under Wine and the close latency (needs TARVELLE_WIN32_DIR).
if(WIN32 OR NOT TARVELLE_WIN32_DIR OR NOT TARGET modem-sim)
    return()
endif()
add_script_bench(bench_wine_idle wine_idle.py
    "Idle CPU and close latency of the Win32 serial link under Wine"
    ARGS --probe ${TARVELLE_WIN32_DIR}/tools/win32/serial_probe.exe
        --work ${CMAKE_BINARY_DIR}/e2e)
