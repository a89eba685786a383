#!/bin/sh
# Counts of the fault matrix's last run (ctest -R FaultMatrix): one summary line per case, written by
# each case under the build directory. Usage: scripts/fault-matrix-summary.sh [BUILD_DIR]
set -eu
dir="${1:-build}/tests/e2e/fault-matrix"
if ! ls "$dir"/case-*.txt >/dev/null 2>&1; then
    echo "no fault matrix results under $dir (run: ctest --test-dir ${1:-build} -R FaultMatrix)" >&2
    exit 1
fi
# Only the cases the suite has now: a renamed case leaves its old line behind.
binary="${1:-build}/tests/e2e/dalvora_fault_matrix_tests"
if [ -x "$binary" ]; then
    "$binary" --gtest_list_tests | sed -n 's/^  [A-Za-z]*\/\([A-Za-z0-9_]*\).*/\1/p' | while read -r name; do
        cat "$dir/case-$name.txt" 2>/dev/null || true
    done
else
    cat "$dir"/case-*.txt
fi | awk '
function field(name,   i, kv) {
    for (i = 2; i <= NF; i++) {
        split($i, kv, "=")
        if (kv[1] == name) return kv[2]
    }
    return ""
}
{
    verdict = field("verdict")
    count[verdict]++
    if (verdict == "skipped") next
    runs++
    elapsed = field("elapsed_ms") + 0
    bound = field("bound_ms") + 0
    if (elapsed > slowest) { slowest = elapsed; slowestBound = bound; slowestName = $1 }
    if (bound > 0 && elapsed / bound > ratio) { ratio = elapsed / bound; ratioName = $1; ratioElapsed = elapsed; ratioBound = bound }
    if (verdict != "pass") problems = problems "  " $0 "\n"
}
END {
    printf "runs %d, passed %d, hangs %d, crashes %d, wrong statuses %d, stored after failure %d, over bound %d, skipped %d\n",
        runs, count["pass"], count["hang"], count["crash"], count["wrong-status"], count["stored-after-failure"],
        count["over-bound"], count["skipped"]
    printf "slowest: %s %d ms (bound %d ms)\n", slowestName, slowest, slowestBound
    printf "closest to its bound: %s %d ms of %d ms (%.0f%%)\n", ratioName, ratioElapsed, ratioBound, ratio * 100
    if (problems != "") printf "not passed:\n%s", problems
}'
