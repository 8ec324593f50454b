# Modem conversation figures: verdict latency through the posix session, a
# round trip with the simulated modem, and the cost of gathering. Native only.
if(WIN32 OR NOT TARGET modem-sim OR NOT TARGET tarvelle_serial)
    return()
endif()

add_executable(modem_bench
    ${CMAKE_CURRENT_LIST_DIR}/modem_bench.cpp
    ${CMAKE_SOURCE_DIR}/tests/serial/sim_modem.cpp)
target_link_libraries(modem_bench PRIVATE tarvelle_modem tarvelle_serial)
target_compile_definitions(modem_bench PRIVATE MODEM_SIM_PATH="$<TARGET_FILE:modem-sim>")
add_dependencies(modem_bench modem-sim)
