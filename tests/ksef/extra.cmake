# The window test drives the Qt widget on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
target_link_libraries(test_ksef PRIVATE vel_shell_qt Qt6::Widgets)
