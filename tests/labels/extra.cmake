# The barcode reader's side of the sticker tests.
target_sources(test_labels PRIVATE ${dir}/scan_support.cpp)
