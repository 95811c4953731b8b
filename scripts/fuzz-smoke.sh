#!/usr/bin/env bash
# fuzz-smoke.sh BUILD-FOLDER [SECONDS]: runs every fuzz target built in BUILD-FOLDER (a build with
# -DQUORVANE_FUZZ=ON, see fuzz/README.md) for SECONDS (default 60) on its seeds, two at a time.
# The targets are the fuzz_* programs the build made, so a new one is run without a change here. A
# target's seeds are the folder of fuzz/seed-corpora.sh named after it (fuzz_flat_odp: flat_odp), or
# after the last word of its name (fuzz_pptx_slide: slide), else the whole files (pptx); its
# dictionary is the fuzz/*.dict named after one of its words. A crash, a leak, an input that takes
# more than 25 s (so generous for a busy machine) or more than 2 GB is a finding: its input is kept
# in BUILD-FOLDER/findings and the script fails.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: scripts/fuzz-smoke.sh BUILD-FOLDER [SECONDS]}" && pwd)
seconds=${2:-60}
say() { echo "fuzz-smoke.sh: $*" >&2; }
mapfile -t targets < <(find "$build/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort)
((${#targets[@]} > 0)) || { say "no fuzz target in $build/fuzz"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$repo/fuzz/seed-corpora.sh" "$work/seeds" >/dev/null
mkdir -p "$build/findings"

# fuzz_one TARGET: runs it on a copy of its seeds (a fuzzer adds what it finds to its corpus) and
# prints one line on how it went; its status is the fuzzer's.
fuzz_one() {
    local target=$1 name=${1##*/} words seeds="" dict=() word status=0
    words=${name#fuzz_}
    for word in "$words" "${words##*_}" pptx; do
        [[ -z $seeds && -d $work/seeds/$word ]] && seeds=$work/seeds/$word
    done
    for word in "$words" ${words//_/ }; do
        [[ ${#dict[@]} -eq 0 && -f $repo/fuzz/$word.dict ]] && dict=("-dict=$repo/fuzz/$word.dict")
    done
    mkdir -p "$work/corpus/$name" "$build/findings/$name"
    cp -r "$seeds/." "$work/corpus/$name/"
    # The seeds are read before the clock starts; the outer limit only ends a fuzzer that hangs.
    timeout --kill-after=30 $((seconds + 600)) "$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 "${dict[@]}" -artifact_prefix="$build/findings/$name/" "$work/corpus/$name" \
        >"$work/$name.log" 2>&1 || status=$?
    if ((status == 0)); then
        echo "$name: no finding in $(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log") runs" \
            "from $(basename "$seeds") seeds${dict:+ with $(basename "${dict[0]#-dict=}")}"
    else
        tail -n 40 "$work/$name.log"
        echo "$name: FINDING (status $status); its input: $(ls "$build/findings/$name" | head -n 1)"
    fi
    rmdir "$build/findings/$name" 2>/dev/null || true
    return "$status"
}

# Two at a time, one a core: a target starts as soon as one of the two running has ended.
failed=0
running=0
for target in "${targets[@]}"; do
    if ((running == 2)); then
        wait -n || failed=$((failed + 1))
        running=$((running - 1))
    fi
    fuzz_one "$target" &
    running=$((running + 1))
done
while ((running > 0)); do
    wait -n || failed=$((failed + 1))
    running=$((running - 1))
done
rmdir "$build/findings" 2>/dev/null || true
((failed == 0)) || { say "$failed of ${#targets[@]} targets found something (inputs in $build/findings)"; exit 1; }
say "${#targets[@]} targets, ${seconds}s each, no finding"
