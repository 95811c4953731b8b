quorvane_add_test(test_spreadsheet
  SpreadsheetEngineTest.cpp
  XlsxReader.cpp
)
