# Presentation text through the presentation server, and the staging file the spreadsheet opens.
target_sources(quorvane_import PRIVATE
  PresentationText.cpp
  StagingFile.cpp)
