# The spreadsheet engine: cell storage, delimited text, the server and its instances, and export.
target_sources(quorvane_office PRIVATE
  Worksheet.cpp
  Workbook.cpp
  DelimitedText.cpp
  SpreadsheetEngine.cpp
  WorkbookExport.cpp
)
