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
if(QUORVANE_HARDENING)
  # Debian's hardening flags, as dpkg-buildflags gives them for hardening=+all on the release this
  # builds on: fortify, stack protector, format checks, PIE, -z relro -z now. Only those are taken:
  # the optimisation level is the build type's, and -g and the prefix map (which names the source
  # folder) are left out, as the package is stripped and a cached compile serves every clone.
  if(QUORVANE_SANITIZE OR QUORVANE_TSAN OR QUORVANE_FUZZ)
    message(FATAL_ERROR "QUORVANE_HARDENING is for the package build; the sanitizer and fuzz builds have their own flags")
  endif()
  find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  set(quorvane_hardening_compile "")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g.*|O.*|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
    if(kind STREQUAL "LDFLAGS")
      set(quorvane_hardening_link ${flags})
    else()
      list(APPEND quorvane_hardening_compile ${flags})
    endif()
  endforeach()
  # Debian 13's dpkg adds stack-clash and control-flow protection for hardening=+all; Debian 12's
  # predates them, so they are added here where the compiler has them and dpkg did not name them.
  include(CheckCXXCompilerFlag)
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "QUORVANE_HAS${flag}" has_flag)
    check_cxx_compiler_flag(${flag} ${has_flag})
    if(${has_flag} AND NOT quorvane_hardening_compile MATCHES "${flag}")
      list(APPEND quorvane_hardening_compile ${flag})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES quorvane_hardening_compile)
  message(STATUS "Hardening: ${quorvane_hardening_compile} ${quorvane_hardening_link}")
  target_compile_options(quorvane_options INTERFACE ${quorvane_hardening_compile})
  target_link_options(quorvane_options INTERFACE ${quorvane_hardening_link})
endif()
