# Fake office servers for the import and main-window tests.
target_sources(quorvane_test_support PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/FakeOffice.cpp)
