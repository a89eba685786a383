#!/usr/bin/env bash
# The main job. With a display (DISPLAY or WAYLAND_DISPLAY set) and no printer named: start a simulated
# printer on loopback, say in one line how to reach it from the window's PORT menu, and open the window;
# the simulator stops when the window closes. Without a display: read the simulated printer's identity
# and setup with `dalvora --printerversion`. With a printer named (PRINTER="-t eth -d 192.168.1.20:9100",
# "-t usb -d ANY", "-t ser -d /dev/ttyUSB0:115200:NONE") that printer is read on the command line.
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

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "PORT > Ethernet, address 127.0.0.1, port $port"
    "$dalvora"
    exit
fi

echo "== simulated printer (default profile) on 127.0.0.1:$port"
echo "== $dalvora --printerversion -lv -v -t eth -d 127.0.0.1:$port"
"$dalvora" --printerversion -lv -v -t eth -d "127.0.0.1:$port"
