# Adding by dialog, removal and reordering of the list's entries (GUI-free).
target_sources(quorvane_filelist PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AddFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListControl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Reorder.cpp
)
