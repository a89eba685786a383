#!/usr/bin/env bash
# Writes the seeds of fuzz_renesas_boot_answers from real conversations: the real dalvora upgrades the
# simulator's USB printer in mode U2 or U4 with a package of the fixture writer, and the answers the
# simulator's Renesas boot device gave, in order, become one seed (mode byte, then length-prefixed
# answers). Usage: scripts/renesas-fuzz-seeds.sh BUILD_DIR [OUT_DIR]
set -euo pipefail

build=${1:?usage: renesas-fuzz-seeds.sh BUILD_DIR [OUT_DIR]}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$source_dir/fuzz/corpus/fuzz_renesas_boot_answers}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
"$build/tools/dalvora_fixture_writer" "$work/fixtures" > /dev/null
package="$work/fixtures/fuzz_psw_load/format1_plain.psw"

# name mode sets...
conversation() {
    local name=$1 mode=$2
    shift 2
    local sets=()
    for set in "$@"; do sets+=(--set "$set"); done
    DALVORA_TESTONLY_TIME_SCALE=0.05 "$build/sim/dalvora-printer-sim" --usb --transcript "$work/$name.jsonl" \
        --set "upgrade.mode=$mode" --set "upgrade.device_ids=1;2;3" "${sets[@]}" -- \
        "$build/dalvora" --upgrade -f "$package" -t usb -d ANY > "$work/$name.out" 2>&1 || true
    python3 - "$work/$name.jsonl" "$out/$name" "$mode" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
seed = bytearray([1 if sys.argv[3] == "U4" else 0])
for l in lines:
    if l.get("request", "").startswith("R") and l.get("answered"):
        answer = bytes.fromhex(l["answered"])
        seed += bytes([len(answer)]) + answer
open(sys.argv[2], "wb").write(seed)
PY
    echo "$name: $(stat -c %s "$out/$name") bytes"
}

conversation u2_old_loader U2
conversation u2_new_loader U2 upgrade.boot.new_loader=true
conversation u2_release_below_security U2 'upgrade.boot.release="0.99"'
conversation u2_small_frames U2 upgrade.boot.programming_size=64
conversation u4_power_cycle U4 upgrade.boot.power_cycle_ms=100
