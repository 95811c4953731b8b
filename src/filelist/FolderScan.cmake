# The folder scan, drops and the sample files (GUI-free).
target_sources(quorvane_filelist PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FolderScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderCommands.cpp
)

# Installed, the samples live in the data folder; the program finds them relative to its own folder,
# so an installed tree can be moved.
include(GNUInstallDirs)
file(RELATIVE_PATH QUORVANE_SAMPLES_FROM_BINDIR
  "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/quorvane/Samples")
target_compile_definitions(quorvane_filelist PRIVATE
  QUORVANE_SAMPLES_FROM_BINDIR="${QUORVANE_SAMPLES_FROM_BINDIR}")
