#!/bin/sh
# Presentation reading speed and memory. Usage: bench/presentation-bench.sh [BUILD_FOLDER] [COUNT]
# Generates COUNT (default 1000) presentations of 20 slides with 6 text shapes each, then reports, on
# the same corpus and in the same run:
#   floor   the time to open every package with libzip and inflate all its slide parts, nothing else
#   text    quorvane-cli text over all the files in one call: presentations per second, the ratio to
#           the floor (goal: at most 1.5), and the peak memory (also for a tenth of the files, to show
#           it does not grow with their number)
# Each side runs three times and the fastest run counts. Wall and CPU (user + system) times are both
# shown; on a machine busy with other work the CPU figures are the fair comparison.
# Build first, optimised: cmake --build BUILD_FOLDER --target quorvane-cli bench_pptx
set -eu
. "$(dirname "$0")/timed.sh"
build=${1:-build}
count=${2:-1000}
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT

"$build/bench/bench_pptx" corpus "$corpus" "$count"
# Warm the page cache so neither side pays for the disk.
cat "$corpus"/*.pptx > /dev/null
files=$(ls "$corpus"/*.pptx | sort -V)
tenth=$(echo "$files" | head -n $(( (count + 9) / 10 )))

best() { sort -n | head -n 1; }

for run in 1 2 3; do "$build/bench/bench_pptx" floor $files; done > "$corpus/floor.txt"
floorWall=$(cut -d' ' -f1 "$corpus/floor.txt" | best)
floorCpu=$(cut -d' ' -f2 "$corpus/floor.txt" | best)

# Prints "wall cpu peak-KiB" for one quorvane-cli text run over the given files.
measure() {
    timed "$corpus/time.txt" "$build/src/cli/quorvane-cli" text "$@"
}
for run in 1 2 3; do measure $files; done > "$corpus/text.txt"
textWall=$(cut -d' ' -f1 "$corpus/text.txt" | best)
textCpu=$(cut -d' ' -f2 "$corpus/text.txt" | best)
peakAll=$(cut -d' ' -f3 "$corpus/text.txt" | sort -n | tail -n 1)
peakTenth=$(measure $tenth | cut -d' ' -f3)

awk -v n="$count" -v fw="$floorWall" -v fc="$floorCpu" -v tw="$textWall" -v tc="$textCpu" \
    -v all="$peakAll" -v tenth="$peakTenth" 'BEGIN {
    printf "corpus:  %d presentations x 20 slides x 6 text shapes\n", n
    printf "floor:   %.3f s wall, %.3f s CPU inflating the slide parts with libzip (%.0f presentations/s)\n", fw, fc, n / fw
    printf "text:    %.3f s wall, %.3f s CPU for quorvane-cli text (%.0f presentations/s)\n", tw, tc, n / tw
    printf "ratio:   %.2f x the floor in wall time, %.2f x in CPU time (goal <= 1.5)\n", tw / fw, tc / fc
    printf "memory:  peak %d KiB for %d files, %d KiB for %d files\n", all, n, tenth, int((n + 9) / 10)
}'
