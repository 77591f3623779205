# The platform tests drive the real Qt implementations, CUPS and the programs.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
target_link_libraries(test_platform PRIVATE vel_shell_qt Qt6::Widgets Qt6::PrintSupport cups)

# A screenshot of the whole display, for looking at the windows under Xvfb.
add_executable(vel_screen_grab ${CMAKE_CURRENT_SOURCE_DIR}/platform/tools/screen_grab.cpp)
target_link_libraries(vel_screen_grab PRIVATE Qt6::Gui)

add_dependencies(test_platform vel vel-job vel_screen_grab)
target_compile_definitions(test_platform PRIVATE
    VEL_PROGRAM="$<TARGET_FILE:vel>"
    VEL_JOB_PROGRAM="$<TARGET_FILE:vel-job>"
    VEL_SCREEN_GRAB="$<TARGET_FILE:vel_screen_grab>")
