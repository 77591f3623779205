# The charts tests render the Qt window offscreen and drive the real
# spreadsheet program through its bridge.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
target_link_libraries(test_charts PRIVATE vel_platform_qt Qt6::Widgets)
