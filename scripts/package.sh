#!/usr/bin/env bash
# Installs what is missing, builds the program in a build folder of its own (build-package, without
# the tests; optimised, with Debian's hardening flags) and makes the .deb from its install rules.
# Prints the path of the .deb (alone on stdout); its version names the Debian release it is for.
#   apt-get install ./build-package/packages/quorvane_*.deb    installs it with its dependencies
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_HARDENING=ON -DQUORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build-package >&2  # progress on stderr: stdout is the path of the .deb
scripts/make-deb.sh build-package
