#!/bin/sh
# Reading and saving on one core and on all of them. Usage: bench/cores-bench.sh [BUILD_FOLDER] [COUNT] [BEFORE] [RUNS]
# Generates COUNT (default 1000) presentations of 20 slides with 6 text shapes each (bench_pptx corpus),
# then reports, on the same corpus and in the same run:
#   floors  open every package with libzip and inflate all its slide parts on one thread, nothing else:
#           with zlib (libzip's own reading) and with libdeflate (bench_pptx floor-libdeflate)
#   text    quorvane-cli text with --jobs 1 and with one job per core; goal with all cores: at most
#           0.5 x the zlib floor
#   import  quorvane-cli import -o out.xlsx, one sheet, --jobs 1 and all cores (goal: at most 1.6 x the
#           zlib floor), and one sheet per file on all cores (goal: at most 2.0 x), with the time split
#           the run reports (--timings: reading the presentations, the spreadsheet passes, saving),
#           and the peak memory
#   before  the same imports with BEFORE, another quorvane-cli (one built from an earlier commit, say),
#           in the same run, when it is given
#   package the size of the one-sheet .xlsx against the same parts deflated at level 6 (Python's
#           zipfile; goal: at most 1.15 x)
# Every ratio is given against both floors, in wall time and in processor time (user + system): on a
# machine busy with other work the processor times are the fair comparison (for all cores, the wall
# time of the run against the floor's is what the goals mean). The load average is printed before and
# after.
# It also checks that all cores give the same output as one: the text byte for byte, the .csv byte for
# byte (one sheet), and every part of the .xlsx but its creation time (docProps/core.xml), in both
# sheet modes.
# Each measurement runs RUNS times (default 5), the programs taking turns in every round so that a busy
# moment does not fall on one of them alone; the fastest run counts, and the largest peak.
# Build first, optimised: cmake --build BUILD_FOLDER --target quorvane-cli bench_pptx
set -eu
. "$(dirname "$0")/timed.sh"
build=${1:-build}
count=${2:-1000}
before=${3:-}
runs=${4:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli="$build/src/cli/quorvane-cli"
cores=$(nproc)

"$build/bench/bench_pptx" corpus "$work" "$count"
cat "$work"/*.pptx > /dev/null # warm the page cache
ls "$work"/*.pptx | sort -V > "$work/files.txt"
export TEMP="$work"
loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)

# The fastest of the runs of one measurement (column 1 wall, 2 CPU) and the largest peak (column 3).
best() { sort -n | head -n 1; }
fastest() {
    printf '%s %s %s\n' "$(cut -d' ' -f1 "$1" | best)" "$(cut -d' ' -f2 "$1" | best)" \
        "$(cut -d' ' -f3 "$1" | sort -n | tail -n 1)"
}
# One run of a measurement named $1: a quorvane-cli run (the arguments after the name and the program
# go to it, before the file list), its "wall cpu peak-KiB" appended to $work/$1.runs.
measure() {
    name=$1
    program=$2
    shift 2
    timed "$work/time.txt" "$program" "$@" --files-from "$work/files.txt" >> "$work/$name.runs"
}
# One run of a floor: "wall cpu bytes" as bench_pptx prints it, with no peak.
floor() {
    xargs "$build/bench/bench_pptx" "$1" < "$work/files.txt" | awk '{ print $1, $2, 0 }' >> "$work/$1.runs"
}

for run in $(seq "$runs"); do
    floor floor
    floor floor-libdeflate
    measure text1 "$cli" text --jobs 1
    measure textN "$cli" text --jobs "$cores"
    measure import1 "$cli" import --jobs 1 -o "$work/one.xlsx"
    measure importN "$cli" import --jobs "$cores" -o "$work/all.xlsx"
    measure perFile "$cli" import --per-file-sheets --jobs "$cores" -o "$work/per.xlsx"
    if [ -n "$before" ]; then
        measure beforeOne "$before" import --jobs "$cores" -o "$work/before.xlsx"
        measure beforePer "$before" import --per-file-sheets --jobs "$cores" -o "$work/before.xlsx"
    fi
done
loadAfter=$(cut -d' ' -f1-3 /proc/loadavg)

# The time split of one import, as --timings tells it: "reading passes saving".
split() {
    program=$1
    shift
    "$program" import "$@" --timings --files-from "$work/files.txt" -o "$work/split.xlsx" 2>&1 > /dev/null |
        sed -n 's/.*: \([0-9.]*\) s reading the presentations, \([0-9.]*\) s in the spreadsheet passes, \([0-9.]*\) s saving.*/\1 \2 \3/p'
}
split1=$(split "$cli" --jobs 1)
splitN=$(split "$cli" --jobs "$cores")
splitPer=$(split "$cli" --per-file-sheets --jobs "$cores")
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

# One line of figures: "name wall cpu peak" against both floors, with its goal (0: none).
report() {
    awk -v label="$1" -v goal="$3" -v zw="$zlibWall" -v zc="$zlibCpu" -v dw="$deflateWall" -v dc="$deflateCpu" '{
        printf "%-26s %6.3f s wall, %6.3f s CPU, peak %6d KiB; x zlib floor %.2f wall, %.2f CPU", label, $1, $2, $3,
            $1 / zw, $2 / zc
        if (goal > 0)
            printf " (goal <= %.1f)", goal
        printf "; x libdeflate floor %.2f wall, %.2f CPU\n", $1 / dw, $2 / dc
    }' "$2"
}
fastest "$work/floor.runs" > "$work/floor.best"
fastest "$work/floor-libdeflate.runs" > "$work/floor-libdeflate.best"
zlibWall=$(cut -d' ' -f1 "$work/floor.best")
zlibCpu=$(cut -d' ' -f2 "$work/floor.best")
deflateWall=$(cut -d' ' -f1 "$work/floor-libdeflate.best")
deflateCpu=$(cut -d' ' -f2 "$work/floor-libdeflate.best")
for name in text1 textN import1 importN perFile; do fastest "$work/$name.runs" > "$work/$name.best"; done

printf "corpus:  %d presentations x 20 slides x 6 text shapes, %d cores, fastest of %d interleaved runs\n" \
    "$count" "$cores" "$runs"
printf "load:    %s before, %s after (1, 5, 15 minutes)\n" "$loadBefore" "$loadAfter"
printf "floors:  zlib %.3f s wall, %.3f s CPU; libdeflate %.3f s wall, %.3f s CPU (%.2f x zlib's CPU)\n" \
    "$zlibWall" "$zlibCpu" "$deflateWall" "$deflateCpu" "$(echo "$deflateCpu $zlibCpu" | awk '{ print $1 / $2 }')"
report "text --jobs 1" "$work/text1.best" 0
report "text --jobs $cores" "$work/textN.best" 0.5
report "import --jobs 1" "$work/import1.best" 0
report "import --jobs $cores" "$work/importN.best" 1.6
report "per-file --jobs $cores" "$work/perFile.best" 2.0
echo "$split1 $splitN $splitPer" | awk -v c="$cores" '{
    printf "split:   --jobs 1 %.3f s reading, %.3f s spreadsheet passes, %.3f s saving\n", $1, $2, $3
    printf "         --jobs %d %.3f s reading, %.3f s spreadsheet passes, %.3f s saving\n", c, $4, $5, $6
    printf "         per file --jobs %d %.3f s reading, %.3f s spreadsheet passes, %.3f s saving\n", c, $7, $8, $9
}'
echo "$sizes" | awk '{ printf "package: %d bytes; the same parts at level 6: %d bytes (%.3f x; goal <= 1.15)\n", $1, $2, $1 / $2 }'
printf "same output on all cores as on one: %s\n" "$same"
if [ -n "$before" ]; then
    fastest "$work/beforeOne.runs" > "$work/beforeOne.best"
    fastest "$work/beforePer.runs" > "$work/beforePer.best"
    printf "before:  %s\n" "$before"
    report "import --jobs $cores" "$work/beforeOne.best" 0
    report "per-file --jobs $cores" "$work/beforePer.best" 0
    beforeSplit=$(split "$before" --jobs "$cores")
    beforeSplitPer=$(split "$before" --per-file-sheets --jobs "$cores")
    echo "$beforeSplit $beforeSplitPer" | awk -v c="$cores" '{
        printf "split:   --jobs %d %.3f s reading, %.3f s spreadsheet passes, %.3f s saving\n", c, $1, $2, $3
        printf "         per file --jobs %d %.3f s reading, %.3f s spreadsheet passes, %.3f s saving\n", c, $4, $5, $6
    }'
fi
