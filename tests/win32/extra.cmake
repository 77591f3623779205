# The Win32 shell's own tests: its COM automation of the spreadsheet program.
target_link_libraries(test_win32 PRIVATE vel_shell_win32)
# A link the host made to a folder on the way to a program: Wine shows it as
# a reparse point, though it cannot make one itself (a link to a file it
# shows as the file).
set(linked ${CMAKE_CURRENT_BINARY_DIR}/win32_linked)
file(MAKE_DIRECTORY ${linked}/real)
file(WRITE ${linked}/real/WQA.exe "MZ")
file(CREATE_LINK real ${linked}/link RESULT folder_link SYMBOLIC)
if(folder_link EQUAL 0)
    target_compile_definitions(test_win32 PRIVATE VEL_LINKED_DIR="${VEL_HOST_ROOT}${linked}")
endif()
