#!/bin/sh
# Same output as another build. Usage: bench/same-output.sh BUILD_FOLDER BEFORE [COUNT]
# Generates COUNT (default 300) presentations of the bench corpus (bench_pptx corpus), adds the
# presentations of tests/data and samples/ (every format, damaged ones among them), and has
# quorvane-cli of BUILD_FOLDER and BEFORE, another quorvane-cli (one built from an earlier commit,
# say), write the same outputs: the text, one sheet and one sheet per file into .xlsx, one sheet into
# .csv in both styles, each with --jobs 1 and with one job per core, and one sheet split at spaces.
# Prints one line per output, "same" or "DIFFERENT", comparing the text and the .csv byte for byte and
# every part of an .xlsx but its creation time (docProps/core.xml); exits with 1 when any differs.
# Build first: cmake --build BUILD_FOLDER --target quorvane-cli bench_pptx
set -eu
build=$1
before=$2
count=${3:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli="$build/src/cli/quorvane-cli"
cores=$(nproc)
mkdir "$work/decks"
"$build/bench/bench_pptx" corpus "$work/decks" "$count"
ls "$work/decks"/*.pptx | sort -V > "$work/files.txt"
find "$(dirname "$0")/../tests/data" "$(dirname "$0")/../samples" -type f \
    \( -name '*.ppt*' -o -name '*.pot*' -o -name '*.odp' -o -name '*.otp' -o -name '*.fodp' \) | sort >> "$work/files.txt"
export TEMP="$work"

# Writes the output named $1 with both programs: "name.after" and "name.before".
both() {
    name=$1
    shift
    for side in after before; do
        program=$cli
        [ "$side" = after ] || program=$before
        out="$work/$side-$name"
        "$program" "$@" --files-from "$work/files.txt" -o "$out" > /dev/null 2>&1 || true
    done
}
# Prints whether the two outputs of name are the same.
compare() {
    name=$1
    case $name in
    *.xlsx)
        for side in after before; do
            mkdir "$work/x-$side" && (cd "$work/x-$side" && unzip -q "../$side-$name" && rm -f docProps/core.xml)
        done
        diff -r "$work/x-after" "$work/x-before" > /dev/null && result=same || result=DIFFERENT
        rm -rf "$work/x-after" "$work/x-before"
        ;;
    *) cmp -s "$work/after-$name" "$work/before-$name" && result=same || result=DIFFERENT ;;
    esac
    [ -s "$work/after-$name" ] || result="DIFFERENT (nothing written)"
    printf '%-32s %s\n' "$name" "$result"
    [ "$result" = same ] || differs=1
}

differs=0
for jobs in 1 "$cores"; do
    for side in after before; do
        program=$cli
        [ "$side" = after ] || program=$before
        "$program" text --jobs "$jobs" --files-from "$work/files.txt" > "$work/$side-text-$jobs.txt" 2> /dev/null || true
    done
    compare "text-$jobs.txt"
    both "one-$jobs.xlsx" import --jobs "$jobs"
    compare "one-$jobs.xlsx"
    both "per-file-$jobs.xlsx" import --per-file-sheets --jobs "$jobs"
    compare "per-file-$jobs.xlsx"
    both "spreadsheets-$jobs.csv" import --jobs "$jobs"
    compare "spreadsheets-$jobs.csv"
    both "exact-$jobs.csv" import --csv exact --jobs "$jobs"
    compare "exact-$jobs.csv"
done
both "split-space.xlsx" import --split space
compare "split-space.xlsx"
exit "$differs"
