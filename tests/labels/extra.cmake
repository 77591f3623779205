# The barcode reader's side of the sticker tests.
target_sources(test_labels PRIVATE ${dir}/scan_support.cpp)
# The PDF sticker test prints through the real program.
add_dependencies(test_labels vel-job)
target_compile_definitions(test_labels PRIVATE VEL_JOB_PROGRAM="${VEL_HOST_ROOT}$<TARGET_FILE:vel-job>")
