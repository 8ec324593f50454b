# `cmake --build <native> --target bench_program_wine`: start-up, scan and
# idle figures of tarvelle.exe under Wine (needs TARVELLE_WIN32_DIR).
if(WIN32 OR NOT TARVELLE_WIN32_DIR OR NOT TARGET modem-sim)
    return()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_target(bench_program_wine
    COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
        ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/program_wine.py
        --tarvelle ${TARVELLE_WIN32_DIR}/app/tarvelle.exe
        --driver ${TARVELLE_WIN32_DIR}/tools/win32/tarvelle_driver.exe
        --probe ${TARVELLE_WIN32_DIR}/tools/win32/serial_probe.exe
        --sim $<TARGET_FILE:modem-sim>
        --profile ${CMAKE_SOURCE_DIR}/profile/TOLVEX.INI
        --work ${CMAKE_BINARY_DIR}/e2e
    DEPENDS modem-sim
    USES_TERMINAL
    COMMENT "Start-up, scan and idle figures of tarvelle.exe under Wine")
