# The platform tests drive the real Qt implementations, CUPS and the programs.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
target_link_libraries(test_platform PRIVATE vel_platform_qt Qt6::Widgets Qt6::PrintSupport cups)
add_dependencies(test_platform vel vel-job)
target_compile_definitions(test_platform PRIVATE
    VEL_PROGRAM="$<TARGET_FILE:vel>"
    VEL_JOB_PROGRAM="$<TARGET_FILE:vel-job>")
