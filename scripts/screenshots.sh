#!/usr/bin/env bash
# Pictures of the main window for the README: builds the screenshot program and runs it on a virtual
# display against the simulated printer; the PNGs land in docs/screenshots/.
set -euo pipefail

build_dir=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$build_dir" --target dalvora-window-screenshots dalvora_sim_profiles
# The simulator's pauses are not worth waiting for here.
DALVORA_TESTONLY_TIME_SCALE=0.1 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build_dir/tools/dalvora-window-screenshots" "$root/docs/screenshots"
