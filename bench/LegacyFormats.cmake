# Reading the same presentations as .pptx, .ppt and .odp; bench/legacy-bench.sh builds the corpus.
add_executable(bench_presentation_formats LegacyBench.cpp)
target_link_libraries(bench_presentation_formats PRIVATE quorvane_options quorvane_office)
