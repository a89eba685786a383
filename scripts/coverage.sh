#!/usr/bin/env bash
# Line and branch coverage of the core libraries from the normal suite: builds BUILD_DIR with gcov
# instrumentation, runs every test, and writes a summary, a per-file table (least covered first) and
# an HTML report under BUILD_DIR/coverage.
set -euo pipefail

build_dir=${1:-build-coverage}
cd "$(dirname "$0")/.."
core='(base|model|firmware|transport|comm|upgrade)/'

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDALVORA_COVERAGE=ON \
    -DDALVORA_BUILD_BENCH=OFF -DDALVORA_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build_dir" -j "${JOBS:-$(nproc)}"
find "$build_dir" -name '*.gcda' -delete
ctest --test-dir "$build_dir" -j "${JOBS:-$(nproc)}" --output-on-failure || echo "coverage: some tests failed" >&2

out="$build_dir/coverage"
mkdir -p "$out"
# Branches the compiler adds for exceptions and unreachable code are not the program's decisions.
gcovr_args=(--root . --object-directory "$build_dir" --filter "$core" --exclude-throw-branches
    --exclude-unreachable-branches -j "${JOBS:-$(nproc)}")
gcovr "${gcovr_args[@]}" --html-details "$out/index.html" --txt "$out/lines.txt" --print-summary |
    tee "$out/summary.txt"
gcovr "${gcovr_args[@]}" --branches --txt "$out/branches.txt" >/dev/null
echo "least covered files (lines):"
grep -E "^$core" "$out/lines.txt" | sort -k4 -n | head -15
echo "report: $out/index.html"
