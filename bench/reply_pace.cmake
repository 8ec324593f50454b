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
add_script_bench(bench_reply_pace reply_pace.py
    "Final reply byte to next command under Wine and on posix, by answer pace"
    ARGS ${wine_program_args} --posix $<TARGET_FILE:apply_posix>
    DEPENDS apply_posix)

# `--target bench_reply_steps`: each step's median and 99th percentile under
# Wine over whole starts (the scan and the read) and applies. Pass
# `--compare <other tarvelle.exe>` by hand to time a second build in the same run.
add_script_bench(bench_reply_steps reply_pace.py
    "Each step's reply time under Wine: the scan, the read and the apply"
    ARGS ${wine_program_args} --posix $<TARGET_FILE:apply_posix> --steps 12 --applies 30
    DEPENDS apply_posix)
