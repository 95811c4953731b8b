#!/bin/sh
# Reading and saving on one core and on all of them. Usage: bench/cores-bench.sh [BUILD_FOLDER] [COUNT] [BEFORE]
# Generates COUNT (default 1000) presentations of 20 slides with 6 text shapes each (bench_pptx corpus),
# then reports, on the same corpus and in the same run:
#   floor   open every package with libzip and inflate all its slide parts on one thread, nothing else
#   text    quorvane-cli text with --jobs 1 and with one job per core; goal with all cores: at most
#           0.7 x the one-core floor
#   import  quorvane-cli import -o out.xlsx, one sheet, --jobs 1 and all cores (goal: at most 2.5 x the
#           floor), and one sheet per file on all cores, with the time split the run reports
#           (--timings: reading the presentations, the spreadsheet passes, saving), and the peak memory
#   before  the same imports with BEFORE, another quorvane-cli (one built from an earlier commit, say),
#           in the same run, when it is given
#   package the size of the one-sheet .xlsx against the same parts deflated at level 6 (Python's
#           zipfile; goal: at most 1.15 x)
# It also checks that all cores give the same output as one: the text byte for byte, the .csv byte for
# byte (one sheet), and every part of the .xlsx but its creation time (docProps/core.xml), in both
# sheet modes.
# Each timing runs three times and the fastest counts. Wall and CPU (user + system) times are both shown.
# Build first, optimised: cmake --build BUILD_FOLDER --target quorvane-cli bench_pptx
set -eu
. "$(dirname "$0")/timed.sh"
build=${1:-build}
count=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli="$build/src/cli/quorvane-cli"
before=${3:-}
cores=$(nproc)

"$build/bench/bench_pptx" corpus "$work" "$count"
cat "$work"/*.pptx > /dev/null # warm the page cache
ls "$work"/*.pptx | sort -V > "$work/files.txt"
export TEMP="$work"

best() { sort -n | head -n 1; }

for run in 1 2 3; do xargs "$build/bench/bench_pptx" floor < "$work/files.txt"; done > "$work/floor.txt"
floorWall=$(cut -d' ' -f1 "$work/floor.txt" | best)
floorCpu=$(cut -d' ' -f2 "$work/floor.txt" | best)

# Prints "wall cpu peak-KiB" for one quorvane-cli run; the arguments go to it after the file list.
measure() {
    timed "$work/time.txt" "${program:-$cli}" "$@" --files-from "$work/files.txt"
}
# Prints the fastest of three runs, and the largest peak.
fastest() {
    for run in 1 2 3; do measure "$@"; done > "$work/runs.txt"
    printf '%s %s %s\n' "$(cut -d' ' -f1 "$work/runs.txt" | best)" "$(cut -d' ' -f2 "$work/runs.txt" | best)" \
        "$(cut -d' ' -f3 "$work/runs.txt" | sort -n | tail -n 1)"
}
# The time split of one import, as --timings tells it: "reading passes saving".
split() {
    "${program:-$cli}" import "$@" --timings --files-from "$work/files.txt" -o "$work/split.xlsx" 2>&1 > /dev/null |
        sed -n 's/.*: \([0-9.]*\) s reading the presentations, \([0-9.]*\) s in the spreadsheet passes, \([0-9.]*\) s saving.*/\1 \2 \3/p'
}

text1=$(fastest text --jobs 1)
textN=$(fastest text --jobs "$cores")
import1=$(fastest import --jobs 1 -o "$work/one.xlsx")
importN=$(fastest import --jobs "$cores" -o "$work/all.xlsx")
split1=$(split --jobs 1)
splitN=$(split --jobs "$cores")
perFile=$(fastest import --per-file-sheets --jobs "$cores" -o "$work/per.xlsx")
splitPer=$(split --per-file-sheets --jobs "$cores")
if [ -n "$before" ]; then
    program=$before
    beforeOne=$(fastest import --jobs "$cores" -o "$work/before.xlsx")
    beforePer=$(fastest import --per-file-sheets --jobs "$cores" -o "$work/before.xlsx")
    beforeSplit=$(split --jobs "$cores")
    beforeSplitPer=$(split --per-file-sheets --jobs "$cores")
    program=
fi
# The one-sheet package against the same parts deflated at level 6.
sizes=$(python3 - "$work/all.xlsx" "$work/level6.xlsx" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as ours, zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED, compresslevel=6) as six:
    for info in ours.infolist():
        six.writestr(info.filename, ours.read(info.filename))
print(os.path.getsize(sys.argv[1]), os.path.getsize(sys.argv[2]))
PY
)

# The same output on all cores as on one.
same=yes
"$cli" text --jobs 1 --files-from "$work/files.txt" > "$work/one.txt"
"$cli" text --jobs "$cores" --files-from "$work/files.txt" > "$work/all.txt"
cmp -s "$work/one.txt" "$work/all.txt" || same="no (text)"
for mode in "" --per-file-sheets; do
    for jobs in 1 "$cores"; do
        [ -n "$mode" ] || "$cli" import --jobs "$jobs" --files-from "$work/files.txt" -o "$work/jobs$jobs.csv" 2> /dev/null
        "$cli" import $mode --jobs "$jobs" --files-from "$work/files.txt" -o "$work/jobs$jobs.xlsx" 2> /dev/null
        rm -rf "$work/x$jobs" && mkdir "$work/x$jobs" && (cd "$work/x$jobs" && unzip -q ../"jobs$jobs.xlsx")
        rm "$work/x$jobs/docProps/core.xml"
    done
    [ -n "$mode" ] || cmp -s "$work/jobs1.csv" "$work/jobs$cores.csv" || same="no (.csv)"
    diff -r "$work/x1" "$work/x$cores" > /dev/null || same="no (.xlsx $mode)"
done

echo "$text1 $textN $import1 $importN $split1 $splitN $perFile $splitPer $sizes" | awk -v n="$count" -v c="$cores" -v fw="$floorWall" \
    -v fc="$floorCpu" -v same="$same" '{
    printf "corpus:  %d presentations x 20 slides x 6 text shapes, %d cores\n", n, c
    printf "floor:   %.3f s wall, %.3f s CPU inflating the slide parts with libzip on one thread\n", fw, fc
    printf "text:    --jobs 1 %.3f s wall (%.2f x floor), %.3f s CPU, peak %d KiB\n", $1, $1 / fw, $2, $3
    printf "         --jobs %d %.3f s wall (%.2f x floor; goal <= 0.7), %.3f s CPU, peak %d KiB\n", c, $4, $4 / fw, $5, $6
    printf "import:  --jobs 1 %.3f s wall (%.2f x floor), %.3f s CPU, peak %d KiB\n", $7, $7 / fw, $8, $9
    printf "         --jobs %d %.3f s wall (%.2f x floor; goal <= 2.5), %.3f s CPU, peak %d KiB (%+.0f %%)\n", c, $10,
        $10 / fw, $11, $12, ($12 - $9) * 100 / $9
    printf "split:   --jobs 1 %.3f s reading, %.3f s spreadsheet passes, %.3f s saving\n", $13, $14, $15
    printf "         --jobs %d %.3f s reading, %.3f s spreadsheet passes, %.3f s saving\n", c, $16, $17, $18
    printf "per file: --jobs %d %.3f s wall (%.2f x floor), %.3f s CPU, peak %d KiB; %.3f s saving\n", c, $19,
        $19 / fw, $20, $21, $24
    printf "package: %d bytes; the same parts at level 6: %d bytes (%.3f x; goal <= 1.15)\n", $25, $26, $25 / $26
    printf "same output on all cores as on one: %s\n", same
}'
if [ -n "$before" ]; then
    echo "$beforeOne $beforePer $beforeSplit $beforeSplitPer" | awk -v fw="$floorWall" -v c="$cores" -v b="$before" '{
    printf "before:  %s\n", b
    printf "         one sheet --jobs %d %.3f s wall (%.2f x floor), %.3f s CPU, peak %d KiB; %.3f s saving\n", c, $1,
        $1 / fw, $2, $3, $9
    printf "         per file  --jobs %d %.3f s wall (%.2f x floor), %.3f s CPU, peak %d KiB; %.3f s saving\n", c, $4,
        $4 / fw, $5, $6, $12
}'
fi
