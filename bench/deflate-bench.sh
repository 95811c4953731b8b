#!/bin/sh
# The writer's deflate, zlib against ISA-L. Usage: bench/deflate-bench.sh [BUILD_FOLDER] [COUNT] [RUNS]
# Generates COUNT (default 1000) presentations of the bench corpus (bench_pptx corpus), imports them
# into one sheet of an .xlsx with quorvane-cli, takes that sheet's part out of the package and has
# bench_deflate deflate it in the writer's blocks with zlib at levels 5 and 6 and with ISA-L at its
# levels 0 to 3: processor time (fastest of RUNS, default 5) and size of each, against zlib level 5
# and level 6.
# Build first, optimised, with libisal-dev installed:
#   cmake --build BUILD_FOLDER --target quorvane-cli bench_pptx bench_deflate
set -eu
build=${1:-build}
count=${2:-1000}
runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TEMP="$work"
mkdir "$work/decks"
"$build/bench/bench_pptx" corpus "$work/decks" "$count"
ls "$work/decks"/*.pptx | sort -V > "$work/files.txt"
"$build/src/cli/quorvane-cli" import --files-from "$work/files.txt" -o "$work/one.xlsx" 2> /dev/null
unzip -p "$work/one.xlsx" xl/worksheets/sheet1.xml > "$work/sheet1.xml"
"$build/bench/bench_deflate" "$work/sheet1.xml" "$runs"
