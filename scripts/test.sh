#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything with warnings as errors and runs
# every test, then makes the .deb and checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Every C++ source must match .clang-format, as clang-format 19 applies it.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-19 --dry-run -Werror
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j "$(nproc)"
# The .deb made from this build, checked without installing it.
deb=$(scripts/make-deb.sh build)
scripts/check-package.sh "$deb" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)"
