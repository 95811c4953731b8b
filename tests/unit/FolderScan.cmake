# The folder routines and commands on real trees.
quorvane_add_test(test_folder_scan FolderScanTest.cpp)
include(GNUInstallDirs)
target_compile_definitions(test_folder_scan PRIVATE
  QUORVANE_INSTALL_LIBDIR="${CMAKE_INSTALL_LIBDIR}" QUORVANE_INSTALL_DATADIR="${CMAKE_INSTALL_DATADIR}")

# The samples as the build places them beside the program, and folders given to quorvane-cli import.
quorvane_add_test(test_samples_and_folders SamplesAndFoldersTest.cpp)
target_link_libraries(test_samples_and_folders PRIVATE quorvane_cli)
target_compile_definitions(test_samples_and_folders PRIVATE
  QUORVANE_BUILT_SAMPLES="${PROJECT_BINARY_DIR}/src/app/Samples")
