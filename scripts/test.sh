#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything as the package is built (an
# optimised Release build with Debian's hardening flags, warnings as errors) and runs every test, then
# makes the .deb from that build and checks it. Says how many seconds each step took.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
took() { echo "test.sh: $1 in $((SECONDS - started))s"; started=$SECONDS; }
started=$SECONDS
# Every C++ source must match .clang-format, as clang-format 19 applies it.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-19 --dry-run -Werror
took "formatting checked"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON -DQUORVANE_HARDENING=ON >/dev/null
cmake --build build
took "built"
ctest --test-dir build --output-on-failure -j "$(nproc)"
took "tests passed"
# The .deb made from this build, checked without installing it.
deb=$(scripts/make-deb.sh build)
scripts/check-package.sh "$deb" "$(sed -n 's/^QUORVANE_PACKAGE_VERSION:INTERNAL=//p' build/CMakeCache.txt)"
took "package made and checked"
