# The result window of an import and the link from the spreadsheet engine to it.
target_sources(quorvane_gui PRIVATE ResultWindow.cpp)
