# Serial link figures: round trip through the simulated modem, the idle cost
# of an open silent port, and how long a close takes. Native only.
if(WIN32 OR NOT TARGET modem-sim OR NOT TARGET tarvelle_serial)
    return()
endif()

add_executable(serial_bench
    ${CMAKE_CURRENT_LIST_DIR}/serial_bench.cpp
    ${CMAKE_SOURCE_DIR}/tests/serial/sim_modem.cpp)
target_link_libraries(serial_bench PRIVATE tarvelle_serial)
target_compile_definitions(serial_bench PRIVATE MODEM_SIM_PATH="$<TARGET_FILE:modem-sim>")
add_dependencies(serial_bench modem-sim)
