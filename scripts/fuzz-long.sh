#!/usr/bin/env bash
# The fuzzing campaign: every target for SECONDS on its seeds plus the corpus kept in the repo, then the
# inputs that add coverage merged into fuzz/corpus/<target>. Findings are left
# in OUT_DIR/<target>/ as crash-*, leak-*, timeout-* or oom-* files; a summary per target ends the run.
set -euo pipefail

build_dir=${1:?usage: fuzz-long.sh BUILD_DIR [SECONDS] [OUT_DIR]}
seconds=${2:-600}
out_dir=${3:-$build_dir/fuzz-long}
jobs=${FUZZ_JOBS:-1}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

run_target() {
    local target=$1 name work
    name=$(basename "$target")
    work="$out_dir/$name"
    rm -rf "$work" && mkdir -p "$work/corpus"
    for seeds in "$source_dir/fuzz/corpus/$name" "$build_dir/fuzz/corpus/$name"; do
        [ -d "$seeds" ] && cp -r "$seeds/." "$work/corpus/"
    done
    # A finding does not end the campaign for that target: libFuzzer goes on and keeps every artifact.
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
        -artifact_prefix="$work/" "$work/corpus" >"$work/run.log" 2>&1 || true
    minimize "$target" "$name" "$work"
}

# Campaign inputs join the kept corpus only when they add coverage to it; its named seeds stay.
minimize() {
    local target=$1 name=$2 work=$3 kept="$source_dir/fuzz/corpus/$name"
    mkdir -p "$kept"
    "$target" -merge=1 -timeout=10 -rss_limit_mb=2048 "$kept" "$work/corpus" >"$work/merge.log" 2>&1
}

summary() {
    local name=$1 work="$out_dir/$1" last findings
    # Fork mode's last status line: "#EXECS: cov: C ft: F corp: N exec/s R oom/timeout/crash: ..."
    last=$(grep -E '^#[0-9]+: cov:' "$work/run.log" | tail -1)
    findings=$(find "$work" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) | wc -l)
    printf '%-28s %12s execs %8s/s  cov %6s  ft %6s  corpus %4d files  findings %d\n' "$name" \
        "$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")" "$(sed -E 's/.*exec\/s ([0-9]+).*/\1/' <<<"$last")" \
        "$(sed -E 's/.*cov: ([0-9]+).*/\1/' <<<"$last")" "$(sed -E 's/.* ft: ([0-9]+).*/\1/' <<<"$last")" \
        "$(ls "$source_dir/fuzz/corpus/$name" | wc -l)" "$findings"
}

export -f run_target minimize
export out_dir seconds build_dir source_dir
mkdir -p "$out_dir"
ls "$build_dir"/fuzz/${FUZZ_TARGETS:-fuzz_*} | xargs -P "$jobs" -I{} bash -c 'run_target "$@"' _ {}
for log in "$out_dir"/fuzz_*/run.log; do summary "$(basename "$(dirname "$log")")"; done | tee "$out_dir/summary.txt"
! grep -q 'findings [1-9]' "$out_dir/summary.txt"
