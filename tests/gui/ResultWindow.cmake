quorvane_add_test(test_result_window ResultWindowTest.cpp ${PROJECT_SOURCE_DIR}/tests/unit/XlsxReader.cpp GUI)
