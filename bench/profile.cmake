# Profile figures: the cost of one walk by name over the shipped country
# list, the walk that drawing makes for every item of the country list.
if(WIN32 OR NOT TARGET tarvelle_profile_core)
    return()
endif()

add_executable(profile_bench ${CMAKE_CURRENT_LIST_DIR}/profile_bench.cpp)
target_link_libraries(profile_bench PRIVATE tarvelle_profile_core)
target_compile_definitions(profile_bench PRIVATE TARVELLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
