# The presentation reader's benchmark: bench/presentation-bench.sh generates a corpus with
# "bench_pptx corpus" and times quorvane-cli text against "bench_pptx floor" (inflating the slide parts).
add_executable(bench_pptx PresentationCorpus.cpp)
target_link_libraries(bench_pptx PRIVATE quorvane_options PkgConfig::LIBZIP)
