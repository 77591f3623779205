# The spreadsheet bridge, a Python-UNO script, ships beside the programs.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/platform/calc_bridge/vel-calc-bridge.py
               ${CMAKE_CURRENT_BINARY_DIR}/vel-calc-bridge.py COPYONLY)
