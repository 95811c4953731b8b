# The folder scan, drops and the sample files (GUI-free).
target_sources(quorvane_filelist PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FolderScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderCommands.cpp
)

# Installed, the samples live in the data folder (samples/CMakeLists.txt) and the program in a folder of
# its own under the library folder (src/app/MainWindow.cmake). The program finds them relative to its
# own folder, so an installed tree can be moved.
include(GNUInstallDirs)
file(RELATIVE_PATH QUORVANE_SAMPLES_FROM_PROGRAM
  "${CMAKE_INSTALL_FULL_LIBDIR}/quorvane" "${CMAKE_INSTALL_FULL_DATADIR}/quorvane/Samples")
target_compile_definitions(quorvane_filelist PRIVATE QUORVANE_SAMPLES_FROM_PROGRAM="${QUORVANE_SAMPLES_FROM_PROGRAM}")
