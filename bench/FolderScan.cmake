# Walking and listing a generated folder tree; prints seconds and counts.
add_executable(bench_folder_scan FolderScanBench.cpp)
target_link_libraries(bench_folder_scan PRIVATE quorvane_options quorvane_filelist)
