# One interface target carries the language standard, the warnings and Qt's strictness defines;
# every target of the project links it.
add_library(quorvane_options INTERFACE)
target_compile_features(quorvane_options INTERFACE cxx_std_20)
target_compile_options(quorvane_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual)
if(QUORVANE_WERROR)
  target_compile_options(quorvane_options INTERFACE -Werror)
endif()
target_compile_definitions(quorvane_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH QT_NO_KEYWORDS
  QUORVANE_VERSION="${PROJECT_VERSION}")
if(QUORVANE_SANITIZE)
  target_compile_options(quorvane_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(quorvane_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(QUORVANE_TSAN)
  # The threads that read presentations ahead. ThreadSanitizer cannot share a build with
  # AddressSanitizer; use a build folder of its own (build-tsan).
  if(QUORVANE_SANITIZE OR QUORVANE_FUZZ)
    message(FATAL_ERROR "QUORVANE_TSAN excludes QUORVANE_SANITIZE and QUORVANE_FUZZ: use a build folder of its own")
  endif()
  target_compile_options(quorvane_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(quorvane_options INTERFACE -fsanitize=thread)
endif()
if(QUORVANE_FUZZ)
  # Every library is instrumented for coverage, so the fuzzer sees inside the readers; only the fuzz
  # targets link the fuzzer's own main (fuzz/CMakeLists.txt). The other programs still link.
  target_compile_options(quorvane_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(quorvane_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
