# Installing: the programs, the spreadsheet bridge, the menu entry, the icon
# and an autostart entry the user copies into ~/.config/autostart to have Vel
# start in the tray at login. CPack makes a .deb of the same tree whose
# dependencies are what the programs need at run time.
include(GNUInstallDirs)

install(TARGETS vel vel-job RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The bridge is found beside the program or in ../libexec/vel from it.
install(PROGRAMS ${CMAKE_BINARY_DIR}/src/vel-calc-bridge.py DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vel)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vel-autostart.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/vel/autostart
        RENAME vel.desktop)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vel)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "Vel developers <vel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop helper of the office's accounting programs")
set(CPACK_PACKAGE_DESCRIPTION "Vel shows a clock window and serves the accounting programs through files \
dropped into its work folder: PCL print jobs, Code 39 labels, the central bank's rate archive, fiscal \
receipts, the monthly JPK VAT file and KSeF numbers.")
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
