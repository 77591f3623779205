# The whole files printed documents become, on the system's own calls.
target_link_libraries(test_${area} PRIVATE vel_pdf)
