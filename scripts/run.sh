#!/usr/bin/env bash
# The main job: read a printer's identity and setup with `dalvora --printerversion`. Without a printer
# named (PRINTER="-t eth -d 192.168.1.20:9100", "-t usb -d ANY", "-t ser -d /dev/ttyUSB0:115200:NONE"),
# a simulated printer with the default profile is started on loopback and read over Ethernet.
set -euo pipefail

build_dir=${1:?usage: run.sh BUILD_DIR [dalvora device options...]}
shift
dalvora="$build_dir/dalvora"

if [ $# -gt 0 ]; then
    exec "$dalvora" --printerversion -lv -v "$@"
fi

sim="$build_dir/sim/dalvora-printer-sim"
out=$(mktemp)
"$sim" --tcp 127.0.0.1:0 --profile default > "$out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$out"' EXIT

port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^listening tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || { echo "the simulated printer did not start" >&2; exit 1; }

echo "== simulated printer (default profile) on 127.0.0.1:$port"
echo "== $dalvora --printerversion -lv -v -t eth -d 127.0.0.1:$port"
"$dalvora" --printerversion -lv -v -t eth -d "127.0.0.1:$port"
