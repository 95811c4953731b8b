#!/bin/bash
# Reads presentations built to exhaust a reader (bench_hostile_decks) with quorvane-cli text, each
# under a limit of 1 GiB of address space and 10 minutes, and prints per file the exit status, the
# seconds, the peak memory and the message. Then truncates the 400 MB .ppt while it is being read,
# five times: each must end in an error, never a signal.
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
    (
        ulimit -v 1048576
        exec /usr/bin/time -f '%e %M' -o "$work/.time" timeout 600 "$cli" text "$f" >/dev/null 2>"$work/.err"
    )
    status=$?
    # time puts "Command exited with non-zero status N" before its figures.
    read -r seconds kib < <(tail -n 1 "$work/.time") || { seconds=?; kib=0; }
    message=$(head -n 1 "$work/.err" | sed "s|$work/||" | cut -c1-110)
    printf '%-40s %5s %8s %8s  %s\n' "$name" "$status" "$seconds" "$((kib / 1024))" "$message"
done
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
