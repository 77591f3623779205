# The Win32 shell's own tests: its COM automation of the spreadsheet program.
target_link_libraries(test_win32 PRIVATE vel_shell_win32)
