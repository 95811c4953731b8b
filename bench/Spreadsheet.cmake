# Open, copy, paste and save a large staging file; prints seconds and peak memory.
add_executable(bench_spreadsheet SpreadsheetBench.cpp)
target_link_libraries(bench_spreadsheet PRIVATE quorvane_options quorvane_office)
