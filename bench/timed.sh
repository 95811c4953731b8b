# Sourced by the benchmark scripts. timed FILE COMMAND...: runs COMMAND with its output discarded and
# prints "wall-seconds cpu-seconds peak-KiB" (CPU = user + system); /usr/bin/time's report goes to FILE,
# which is shown, and the script ends, when the command fails.
timed() {
    report=$1
    shift
    /usr/bin/time -v "$@" 2> "$report" > /dev/null || { cat "$report" >&2; exit 1; }
    awk -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
        /User time/ { cpu += $2 } /System time/ { cpu += $2 }
        /Maximum resident set size/ { peak = $2 }
        END { printf "%.3f %.3f %d\n", wall, cpu, peak }' "$report"
}
