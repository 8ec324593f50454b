# `cmake --build <native> --target bench_reply_pace`: how long the program
# takes from a modem's final reply byte to its next command, at several answer
# paces, under Wine (tarvelle.exe, needs TARVELLE_WIN32_DIR) and on the posix
# backend (apply_posix, the same workflow without a window).
if(WIN32 OR NOT TARGET modem-sim OR NOT TARGET tarvelle_dialog OR NOT TARGET tarvelle_test_support)
    return()
endif()

add_executable(apply_posix ${CMAKE_CURRENT_LIST_DIR}/apply_posix.cpp)
target_link_libraries(apply_posix PRIVATE tarvelle_dialog tarvelle_serial tarvelle_test_support)

if(NOT TARVELLE_WIN32_DIR)
    return()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_target(bench_reply_pace
    COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
        ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/reply_pace.py
        --tarvelle ${TARVELLE_WIN32_DIR}/app/tarvelle.exe
        --driver ${TARVELLE_WIN32_DIR}/tools/win32/tarvelle_driver.exe
        --probe ${TARVELLE_WIN32_DIR}/tools/win32/serial_probe.exe
        --posix $<TARGET_FILE:apply_posix>
        --sim $<TARGET_FILE:modem-sim>
        --profile ${CMAKE_SOURCE_DIR}/profile/TOLVEX.INI
        --work ${CMAKE_BINARY_DIR}/e2e
    DEPENDS modem-sim apply_posix
    USES_TERMINAL
    COMMENT "Final reply byte to next command under Wine and on posix, by answer pace")
