#!/bin/sh
# Import speed and memory. Usage: bench/import-bench.sh [BUILD_FOLDER] [COUNT] [BEFORE]
# Generates COUNT (default 1000) presentations of 20 slides with 6 text shapes each (bench_pptx
# corpus, the presentation benchmark's generator), then runs quorvane-cli import over all of them
# into one .xlsx, in both sheet modes, and prints for each mode:
#   presentations per second (wall time; goal for one sheet: at least 500), the CPU time, and
#   the peak memory for all files and for a tenth of them, next to the size of their text, so one
#   can see that memory follows the text and not the number of files. With BEFORE, another
#   quorvane-cli (one built from an earlier commit, say), the same is measured for it in the same run.
# Each measurement runs three times and the fastest run counts; memory is the largest peak seen. On a
# machine busy with other work the CPU figures are the fair ones.
# Build first, optimised: cmake --build BUILD_FOLDER --target quorvane-cli bench_pptx
set -eu
. "$(dirname "$0")/timed.sh"
build=${1:-build}
count=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench_pptx" corpus "$work" "$count"
cat "$work"/*.pptx > /dev/null # warm the page cache
files=$(ls "$work"/*.pptx | sort -V)
tenth=$(echo "$files" | head -n $(( (count + 9) / 10 )))
export TEMP="$work"

# The size of the text the import carries, in KiB.
textKiB() { "$build/src/cli/quorvane-cli" text "$@" | wc -c | awk '{ printf "%d", $1 / 1024 }'; }

# Prints "wall cpu peak-KiB" for one import; the remaining arguments go to quorvane-cli import.
measure() {
    timed "$work/time.txt" "$cli" import "$@" -o "$work/out.xlsx"
}

textAll=$(textKiB $files)
textTenth=$(textKiB $tenth)
printf "corpus:  %d presentations x 20 slides x 6 text shapes; text %d KiB (a tenth: %d KiB)\n" \
    "$count" "$textAll" "$textTenth"

for cli in "$build/src/cli/quorvane-cli" ${3:-}; do
    [ "$cli" = "$build/src/cli/quorvane-cli" ] || echo "before: $cli"
    for mode in single per-file; do
        flag=""
        [ "$mode" = per-file ] && flag=--per-file-sheets
        for run in 1 2 3; do measure $flag $files; done > "$work/runs.txt"
        wall=$(cut -d' ' -f1 "$work/runs.txt" | sort -n | head -n 1)
        cpu=$(cut -d' ' -f2 "$work/runs.txt" | sort -n | head -n 1)
        peak=$(cut -d' ' -f3 "$work/runs.txt" | sort -n | tail -n 1)
        peakTenth=$(measure $flag $tenth | cut -d' ' -f3)
        awk -v mode="$mode" -v n="$count" -v w="$wall" -v c="$cpu" -v p="$peak" -v pt="$peakTenth" 'BEGIN {
            printf "%-8s %.3f s wall, %.3f s CPU: %.0f presentations/s (%.0f per CPU second); peak %d KiB (a tenth of the files: %d KiB)\n",
                mode ":", w, c, n / w, n / c, p, pt
        }'
    done
done
