# The charts tests render the Qt window offscreen and drive the real
# spreadsheet program through its bridge.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
target_link_libraries(test_charts PRIVATE vel_shell_qt Qt6::Widgets)
# The workbook tests start LibreOffice: one office at a time in a ctest run,
# or a second one starting beside the first slows both past their waits.
set(area_exclusive_tests "CalcWorkbook.*:CalcSpreadsheet.*")
set(area_exclusive_lock libreoffice)
