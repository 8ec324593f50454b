# `--target bench_cockpit`: what the web console's page adds to tarvelle-cli's
# own time, in headless chromium (needs what scripts/setup.sh installs for the
# page's tests). Debian's own Python, which has the Selenium module.
if(WIN32 OR NOT TARGET modem-sim OR NOT TARGET tarvelle-cli OR NOT TARGET cockpit_page)
    return()
endif()
add_custom_target(bench_cockpit
    COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
        PYTHONPATH=${CMAKE_SOURCE_DIR}/tools/wine:${CMAKE_SOURCE_DIR}/tools/cockpit
        /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/cockpit_bench.py
        --cli $<TARGET_FILE:tarvelle-cli> --sim $<TARGET_FILE:modem-sim>
        --page ${CMAKE_BINARY_DIR}/packaging/cockpit/tarvelle
        --profile ${CMAKE_SOURCE_DIR}/profile/TOLVEX.INI --work ${CMAKE_BINARY_DIR}/bench_cockpit
    DEPENDS modem-sim tarvelle-cli cockpit_page
    USES_TERMINAL
    COMMENT "What the web console's page adds to tarvelle-cli's scan and set")
