# Sheet names made from file names, and the checks on the spreadsheet application.
target_sources(quorvane_import PRIVATE
  SheetNaming.cpp
  SpreadsheetChecks.cpp
)
