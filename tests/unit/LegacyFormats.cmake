# Binary and OpenDocument presentations: the compound-file reader, the .ppt and .odp readers.
quorvane_add_test(test_legacy_formats PptReaderTest.cpp PptTestFiles.cpp OdpReaderTest.cpp)
target_link_libraries(test_legacy_formats PRIVATE PkgConfig::LIBZIP) # the tests build small zip packages
