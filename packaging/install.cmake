# Installing: the programs, the spreadsheet bridge, the menu entry, the icon,
# an autostart entry the user copies into ~/.config/autostart to have Vel
# start in the tray at login, the manual pages, and the copyright and
# changelog files a Debian package carries. CPack makes a .deb of the same
# tree whose dependencies are what the programs need at run time.
include(GNUInstallDirs)

# Manual pages and the changelog are installed compressed, as Debian keeps
# them: gzip -9n, no name or time stamp in the file, so the bytes depend on
# the text alone. Compressed again whenever a source changes.
set(VEL_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${VEL_PACKAGING_OUT})
foreach(source man/vel.1 man/vel-job.1 changelog)
    get_filename_component(name ${source} NAME)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${source})
    execute_process(COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/${source}
                    OUTPUT_FILE ${VEL_PACKAGING_OUT}/${name}.gz RESULT_VARIABLE gzipped)
    if(NOT gzipped EQUAL 0)
        message(FATAL_ERROR "gzip could not compress packaging/${source}")
    endif()
endforeach()

install(TARGETS vel vel-job RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The bridge is found beside the program or in ../libexec/vel from it.
install(PROGRAMS ${CMAKE_BINARY_DIR}/src/vel-calc-bridge.py DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vel)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vel-autostart.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/vel/autostart
        RENAME vel.desktop)
install(FILES ${VEL_PACKAGING_OUT}/vel.1.gz ${VEL_PACKAGING_OUT}/vel-job.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${VEL_PACKAGING_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vel)
set(CPACK_PACKAGE_VERSION 1.0.0)
# The maker's address, on the domain of its update server.
set(CPACK_PACKAGE_CONTACT "Mirva-Soft <vel@mirva-soft.pl>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop helper of the office's accounting programs")
# Lines of at most 80 characters: CPack indents each for the control file.
set(CPACK_PACKAGE_DESCRIPTION "Vel shows a clock window and serves the accounting programs through files
dropped into its work folder: PCL print jobs, Code 39 labels, the central
bank's rate archive, fiscal receipts, the monthly JPK VAT file and KSeF
numbers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The shared libraries the programs link (Qt 6, CUPS, zlib, the C++ runtime)
# come from dpkg-shlibdeps; the rest are what they start or draw with: lp for
# the CUPS printers, Liberation Mono for "Courier New". The workbook update
# needs the office and its Python bridge, which not every desk has.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups-client, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc | libreoffice-calc-nogui, python3-uno, python3")
include(CPack)
