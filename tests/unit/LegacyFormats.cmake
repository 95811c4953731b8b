# Binary and OpenDocument presentations: the compound-file reader, the .ppt and .odp readers.
quorvane_add_test(test_legacy_formats PptReaderTest.cpp PptTestFiles.cpp)
