#!/bin/sh
# Nothing lost at scale. Usage: bench/scale-bench.sh [BUILD_FOLDER] [COUNT...]
# Generates presentations of 20 slides with 6 text shapes each (bench_pptx corpus, about 320 rows
# apiece), then for each COUNT (default: 4000 and 10000) takes the first COUNT of them and prints:
#   the floors: the slide parts inflated on one thread with zlib and with libdeflate (bench_pptx)
#   quorvane-cli text: its wall time against both floors
#   an import into one sheet, once into .xlsx and once into .csv: the rows and sheets written (read
#   back from the file: the rows of every worksheet of the .xlsx, the lines of the .csv), the wall
#   seconds against both floors, the peak memory, and next to it the memory target: twice the size of
#   the text (the UTF-8 that quorvane-cli text prints for the same files) plus 100 MB; for the .csv
#   also the peak against the .csv's size (goal: at most 1.3 x its size plus 64 MiB)
# A sheet holds 1,048,576 rows, so 4,000 presentations already take two sheets and 10,000 four; the
# run must say so once on standard error and still exit with status 0.
# Then the same presentations go one sheet per file into an .xlsx file, with the wall seconds against
# both floors, the peak memory against that of the one-sheet .csv (goal: at most 15 % over it) and the
# files left in TEMP and beside the output (goal: none).
# Each figure comes from one run; the load average is printed with each COUNT.
# Build first, optimised: cmake --build BUILD_FOLDER --target quorvane-cli bench_pptx
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
counts=${*:-4000 10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TEMP="$work"

most=0
for count in $counts; do [ "$count" -gt "$most" ] && most=$count; done
mkdir "$work/decks"
"$build/bench/bench_pptx" corpus "$work/decks" "$most"
cli="$build/src/cli/quorvane-cli"

# Rows and sheets of an .xlsx: the last row number of each worksheet, summed.
xlsxRowsSheets() {
    sheets=$(zipinfo -1 "$1" | grep -c '^xl/worksheets/sheet[0-9]*\.xml$')
    rows=0
    i=1
    while [ "$i" -le "$sheets" ]; do
        last=$(unzip -p "$1" "xl/worksheets/sheet$i.xml" | grep -o '<row r="[0-9]*"' | tail -n 1 | tr -dc 0-9)
        rows=$((rows + ${last:-0}))
        i=$((i + 1))
    done
    echo "$rows $sheets"
}

# The wall seconds of a run whose /usr/bin/time -v report is in the file.
wallOf() {
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
        END { print wall }' "$1"
}
# "x zlib floor A, x libdeflate floor B" for a wall time.
againstFloors() {
    awk -v w="$1" -v z="$zlibFloor" -v d="$deflateFloor" 'BEGIN { printf "x zlib floor %.2f, x libdeflate floor %.2f", w / z, w / d }'
}

for count in $counts; do
    ls "$work/decks"/*.pptx | sort -V | head -n "$count" > "$work/list"
    cat $(cat "$work/list") > /dev/null # warm the page cache
    zlibFloor=$(xargs "$build/bench/bench_pptx" floor < "$work/list" | cut -d' ' -f1)
    deflateFloor=$(xargs "$build/bench/bench_pptx" floor-libdeflate < "$work/list" | cut -d' ' -f1)
    /usr/bin/time -v "$cli" text $(cat "$work/list") > "$work/text" 2> "$work/err.txt"
    textWall=$(wallOf "$work/err.txt")
    textBytes=$(wc -c < "$work/text")
    textRows=$(tr -dc '\r' < "$work/text" | wc -c) # every row ends with a CR (CR LF, or CR between paragraphs)
    rm "$work/text"
    limitMiB=$(awk -v t="$textBytes" 'BEGIN { printf "%d", (2 * t + 100e6) / 1048576 }')
    printf "%d presentations (load %s): text %d MiB in %d rows; memory target %d MiB\n" "$count" \
        "$(cut -d' ' -f1-3 /proc/loadavg)" $((textBytes / 1048576)) "$textRows" "$limitMiB"
    printf "  floors: zlib %.1f s, libdeflate %.1f s; text %.1f s (%s)\n" "$zlibFloor" "$deflateFloor" "$textWall" \
        "$(againstFloors "$textWall")"
    for kind in xlsx csv; do
        out="$work/out.$kind"
        status=0
        /usr/bin/time -v "$cli" import $(cat "$work/list") -o "$out" > /dev/null 2> "$work/err.txt" || status=$?
        [ "$status" -eq 0 ] || { echo "  $kind: exit status $status" >&2; tail -n 20 "$work/err.txt" >&2; exit 1; }
        if [ "$kind" = xlsx ]; then
            set -- $(xlsxRowsSheets "$out")
        else
            lines=$(wc -l < "$out")
            set -- "$lines" $(((lines + 1048575) / 1048576))
        fi
        notices=$(grep -c 'continue on the sheet' "$work/err.txt" || true)
        [ "$kind" = csv ] && csvPeak=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/err.txt")
        awk -F': ' -v kind="$kind" -v rows="$1" -v sheets="$2" -v notices="$notices" -v limit="$limitMiB" \
            -v floors="$(againstFloors "$(wallOf "$work/err.txt")")" '
            /Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
            /Maximum resident set size/ { peak = $2 / 1024 }
            END { printf "  %-5s %d rows on %d sheets, %.1f s (%s), peak %d MiB (%s the target); %d notice(s), exit 0\n",
                      kind ":", rows, sheets, wall, floors, peak, peak <= limit ? "within" : "OVER", notices }' "$work/err.txt"
        if [ "$kind" = csv ]; then
            awk -v peak="$csvPeak" -v size="$(wc -c < "$out")" 'BEGIN {
                goal = 1.3 * size / 1048576 + 64
                printf "         peak %d MiB against the .csv of %d MiB: %.2f x its size; goal 1.3 x + 64 MiB = %d MiB (%s)\n",
                    peak / 1024, size / 1048576, peak * 1024 / size, goal, peak / 1024 <= goal ? "met" : "MISSED" }'
        fi
    done
    # One sheet per file: the peak against the one-sheet .csv, and any file left behind.
    mkdir "$work/out" "$work/temp"
    TEMP="$work/temp" /usr/bin/time -v "$cli" import --per-file-sheets $(cat "$work/list") -o "$work/out/per.xlsx" \
        > /dev/null 2> "$work/err.txt" || { tail -n 20 "$work/err.txt" >&2; exit 1; }
    sheets=$(zipinfo -1 "$work/out/per.xlsx" | grep -c '^xl/worksheets/sheet[0-9]*\.xml$')
    left=$(find "$work/out" "$work/temp" -mindepth 1 ! -name per.xlsx | wc -l)
    awk -F': ' -v sheets="$sheets" -v csv="$csvPeak" -v left="$left" -v floors="$(againstFloors "$(wallOf "$work/err.txt")")" '
        /Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
        /Maximum resident set size/ { peak = $2 }
        END { printf "  per-file .xlsx: %d sheets, %.1f s (%s), peak %d MiB (%+.1f %% against the .csv; goal <= 15 %%); %d file(s) left\n",
                  sheets, wall, floors, peak / 1024, (peak - csv) * 100 / csv, left }' "$work/err.txt"
    rm -rf "$work/out" "$work/temp"
done
