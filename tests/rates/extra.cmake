# A made-up year of the bank's archive as a file, for the end-to-end checks
# of the programs (scripts/end-to-end-vel-windows-views.sh).
add_executable(vel_nbp_archive ${CMAKE_CURRENT_SOURCE_DIR}/rates/tools/nbp_archive.cpp)
target_link_libraries(vel_nbp_archive PRIVATE vel_test_support)
