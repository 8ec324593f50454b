# Soak: many applies in a row against the simulated modem, with memory and
# descriptor counts after the first few and after the last.
#   natively:   <native>/bench/soak_native       (1000 applies, posix port)
#   under Wine: `cmake --build <native> --target bench_soak_wine`  (100 applies)
if(WIN32 OR NOT TARGET modem-sim OR NOT TARGET tarvelle_serial)
    return()
endif()
find_package(GTest REQUIRED)

add_executable(soak_native
    ${CMAKE_CURRENT_LIST_DIR}/soak_native.cpp
    ${CMAKE_SOURCE_DIR}/tests/serial/sim_modem.cpp)
target_link_libraries(soak_native PRIVATE tarvelle_dialog tarvelle_serial tarvelle_test_support
                      GTest::gtest_main)
target_compile_definitions(soak_native PRIVATE MODEM_SIM_PATH="$<TARGET_FILE:modem-sim>")
add_dependencies(soak_native modem-sim)

if(NOT TARVELLE_WIN32_DIR)
    return()
endif()
add_script_bench(bench_soak_wine soak_wine.py
    "100 applies of tarvelle.exe under Wine: memory and wineserver descriptors"
    ARGS ${wine_program_args})
