# A stand-in for the requesting program: records its command line.
add_executable(jpk_stand_in ${CMAKE_CURRENT_LIST_DIR}/stand_in.cpp)
add_dependencies(test_jpk jpk_stand_in)
target_compile_definitions(test_jpk PRIVATE JPK_STAND_IN="${VEL_HOST_ROOT}$<TARGET_FILE:jpk_stand_in>")
target_compile_definitions(test_jpk PRIVATE JPK_DATA_DIR="${VEL_HOST_ROOT}${CMAKE_CURRENT_LIST_DIR}/data")
