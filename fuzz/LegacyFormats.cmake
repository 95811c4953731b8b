# Fuzz targets for the binary (.ppt, compound file) and flat OpenDocument presentation readers.
# Run, for example:
#   build-fuzz/fuzz/fuzz_ppt -max_total_time=300 -max_len=65536 CORPUS tests/data/ppt
#   build-fuzz/fuzz/fuzz_flat_odp -max_total_time=300 -dict=fuzz/odp.dict CORPUS tests/data/odp
# The readers themselves need coverage instrumentation for the fuzzer to see inside them.
target_compile_options(quorvane_office PRIVATE -fsanitize=fuzzer-no-link)
foreach(target fuzz_ppt fuzz_flat_odp)
  if(target STREQUAL "fuzz_ppt")
    add_executable(${target} PptFuzz.cpp)
  else()
    add_executable(${target} FlatOdpFuzz.cpp)
  endif()
  target_link_libraries(${target} PRIVATE quorvane_options quorvane_office Qt6::Core)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
endforeach()
