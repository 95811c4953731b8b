#!/bin/bash
# Reads presentations built to exhaust a reader (bench_hostile_decks) with quorvane-cli text, each
# under a limit of 1 GiB of address space and 10 minutes, and prints per file the exit status, the
# seconds, the peak memory and the message. Then truncates the 400 MB .ppt while it is being read,
# five times: each must end in an error, never a signal. Then reads 48 hostile decks together (the
# four that are refused with a named error, twelve copies each) at several --jobs under the same
# limit: the peak memory must not grow with the workers and every named error must stay one; and
# --jobs 128 under the limit must end normally. Last, an import of a deck whose charts take long to
# read is interrupted a second in, at --jobs 1 and 2: it must end within a second of the signal.
#
#   bench/hostile-bench.sh BUILD_DIR [CLI]      (CLI defaults to the build's quorvane-cli)
set -u
build=${1:?build folder}
cli=${2:-$build/src/cli/quorvane-cli}
work=$(mktemp -d /tmp/quorvane-hostile.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/bench/bench_hostile_decks" "$work" >/dev/null || exit 1
printf '%-40s %5s %8s %8s  %s\n' file exit seconds peak-MB message
for f in "$work"/*; do
    name=$(basename "$f")
    [ "$name" = ppt-400-mb.ppt ] && continue
    # The decks of charts are read for their charts.
    include=()
    case "$name" in *-charts-*) include=(--include charts) ;; esac
    (
        ulimit -v 1048576
        exec /usr/bin/time -f '%e %M' -o "$work/.time" timeout 600 "$cli" text "${include[@]}" "$f" >/dev/null 2>"$work/.err"
    )
    status=$?
    # time puts "Command exited with non-zero status N" before its figures.
    read -r seconds kib < <(tail -n 1 "$work/.time") || { seconds=?; kib=0; }
    message=$(head -n 1 "$work/.err" | sed "s|$work/||" | cut -c1-110)
    printf '%-40s %5s %8s %8s  %s\n' "$name" "$status" "$seconds" "$((kib / 1024))" "$message"
done
echo
echo "48 hostile decks read together under a limit of 1 GiB:"
mkdir "$work/many"
for name in odp-8000000-spaces-on-1000-shapes.odp ppt-placeholders-and-slide-list.ppt \
            pptx-one-slide-listed-25000-times.pptx pptx-pictures-listed-25000-times.pptx; do
    for copy in $(seq -w 1 12); do cp "$work/$name" "$work/many/$copy-$name"; done
done
printf '%-8s %5s %8s %8s %13s %10s\n' jobs exit seconds peak-MB named-errors bad_alloc
for jobs in 1 4 16 48; do
    (
        ulimit -v 1048576
        exec /usr/bin/time -f '%e %M' -o "$work/.time" timeout 600 "$cli" text --jobs "$jobs" "$work"/many/* >/dev/null 2>"$work/.err"
    )
    status=$?
    read -r seconds kib < <(tail -n 1 "$work/.time") || { seconds=?; kib=0; }
    named=$(grep -c -e ': too much text: ' -e ': too many shapes: ' "$work/.err")
    printf '%-8s %5s %8s %8s %13s %10s\n' "$jobs" "$status" "$seconds" "$((kib / 1024))" "$named/48" \
        "$(grep -c -i 'bad_alloc\|not enough memory' "$work/.err")"
done
(
    ulimit -v 1048576
    exec timeout 600 "$cli" text --jobs 128 "$work"/odp-4000-shapes.odp >/dev/null 2>"$work/.err"
)
echo "--jobs 128 under the limit: exit $? $(head -n 1 "$work/.err")"

echo
echo "Truncating ppt-400-mb.ppt 0.03 s after the read starts:"
cp "$work/ppt-400-mb.ppt" "$work/.original"
for try in 1 2 3 4 5; do
    cp "$work/.original" "$work/big.ppt"
    "$cli" text "$work/big.ppt" >/dev/null 2>"$work/.err" &
    pid=$!
    sleep 0.03
    truncate -s 100M "$work/big.ppt"
    wait "$pid"
    status=$?
    echo "try $try: exit $status $( (( status > 128 )) && echo "(signal $((status - 128)))") $(sed "s|$work/||" "$work/.err" | head -n 1)"
done

echo
echo "Ctrl+C one second into an import whose charts take long to read:"
printf '%-8s %5s %22s\n' jobs exit seconds-after-signal
for jobs in 1 2; do
    "$cli" import --jobs "$jobs" --include charts "$work/pptx-charts-400-past-the-bound.pptx" \
        -o "$work/stopped.xlsx" >/dev/null 2>"$work/.err" &
    pid=$!
    sleep 1
    kill -INT "$pid"
    sent=$(date +%s.%N)
    wait "$pid"
    status=$?
    printf '%-8s %5s %22s\n' "$jobs" "$status" "$(awk -v now="$(date +%s.%N)" -v sent="$sent" 'BEGIN { printf "%.2f", now - sent }')"
done

