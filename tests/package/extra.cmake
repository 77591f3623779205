# The package test makes the .deb with CPack from this build.
add_dependencies(test_package vel vel-job)
target_compile_definitions(test_package PRIVATE
    VEL_CPACK="${CMAKE_CPACK_COMMAND}"
    VEL_CPACK_CONFIG="${CMAKE_BINARY_DIR}/CPackConfig.cmake")
