#!/usr/bin/env bash
# make-deb.sh BUILD-FOLDER: makes the .deb from a built build folder with CPack and prints its path.
set -euo pipefail
build=$(cd "$1" && pwd)
rm -f "$build"/packages/quorvane_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >"$build/packages.log" 2>&1 ||
    { cat "$build/packages.log" >&2; exit 1; }
shopt -s nullglob
debs=("$build"/packages/quorvane_*.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "make-deb.sh: expected one .deb in $build/packages" >&2; exit 1; }
echo "${debs[0]}"
