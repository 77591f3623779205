# The stand-in fiscal driver, built as "WQG.exe" in a folder of its own, and
# its logic linked into the tests so they can play it in-process.
add_executable(receipts_standin_driver
    ${dir}/standin_driver/standin_main.cpp
    ${dir}/standin_driver/standin_logic.cpp)
target_include_directories(receipts_standin_driver PRIVATE ${dir})
set_target_properties(receipts_standin_driver PROPERTIES
    OUTPUT_NAME "WQG"
    SUFFIX ".exe"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/receipts_driver)

target_sources(test_${area} PRIVATE ${dir}/standin_driver/standin_logic.cpp)
target_include_directories(test_${area} PRIVATE ${dir})
add_dependencies(test_${area} receipts_standin_driver vel-job)
target_compile_definitions(test_${area} PRIVATE
    VEL_RECEIPTS_DRIVER_DIR="${VEL_HOST_ROOT}${CMAKE_CURRENT_BINARY_DIR}/receipts_driver"
    VEL_JOB_PROGRAM="${VEL_HOST_ROOT}$<TARGET_FILE:vel-job>")
