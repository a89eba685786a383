#!/usr/bin/env bash
# A short run of every fuzz target on a copy of its seed corpus; any crash fails the run.
set -euo pipefail

build_dir=${1:?usage: fuzz-smoke.sh BUILD_DIR [SECONDS]}
seconds=${2:-10}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shopt -s nullglob
targets=("$build_dir"/fuzz/fuzz_*)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build_dir/fuzz" >&2; exit 1; }
for target in "${targets[@]}"; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$work/$name"
    mkdir -p "$corpus"
    if [ -d "$source_dir/fuzz/corpus/$name" ]; then
        cp -r "$source_dir/fuzz/corpus/$name/." "$corpus/"
    fi
    # Seeds of binary formats are written by the fixture writer at build time.
    if [ -d "$build_dir/fuzz/corpus/$name" ]; then
        cp -r "$build_dir/fuzz/corpus/$name/." "$corpus/"
    fi
    # Inputs that once crashed a target run first, each by itself.
    regressions=("$source_dir/fuzz/regressions/$name"/*)
    if [ ${#regressions[@]} -gt 0 ]; then
        echo "fuzz smoke: $name regressions (${#regressions[@]})"
        "$target" -timeout=10 -rss_limit_mb=2048 "${regressions[@]}" > "$work/$name.regressions.log" 2>&1 || {
            tail -n 60 "$work/$name.regressions.log" >&2
            echo "fuzz smoke FAILED: $name regression" >&2
            exit 1
        }
    fi
    echo "fuzz smoke: $name (${seconds}s)"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
        -artifact_prefix="$work/" "$corpus" > "$work/$name.log" 2>&1 || {
        tail -n 60 "$work/$name.log" >&2
        echo "fuzz smoke FAILED: $name" >&2
        exit 1
    }
done
echo "fuzz smoke: ${#targets[@]} targets passed"
