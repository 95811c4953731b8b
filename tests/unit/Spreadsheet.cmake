quorvane_add_test(test_spreadsheet
  SpreadsheetEngineTest.cpp
  WorkbookExportTest.cpp
  SheetNamingTest.cpp
  SpreadsheetChecksTest.cpp
  XlsxReader.cpp
)
