# `cmake --build <native> --target bench_program_wine`: start-up, scan and
# idle figures of tarvelle.exe under Wine (needs TARVELLE_WIN32_DIR).
if(WIN32 OR NOT TARVELLE_WIN32_DIR OR NOT TARGET modem-sim)
    return()
endif()
add_script_bench(bench_program_wine program_wine.py
    "Start-up, scan and idle figures of tarvelle.exe under Wine"
    ARGS ${wine_program_args})
