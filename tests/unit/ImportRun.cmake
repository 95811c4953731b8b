# The import run through fakes, and quorvane-cli import end to end through the real servers.
quorvane_add_test(test_import_run ImportRunTest.cpp)

quorvane_add_test(test_import_command ImportCommandTest.cpp XlsxReader.cpp)
target_link_libraries(test_import_command PRIVATE quorvane_cli)
