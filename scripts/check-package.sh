#!/usr/bin/env bash
# Checks the Debian packages in BUILD_DIR/packages as a packager and a new user would: lintian (no
# errors), the desktop entry and AppStream metadata validated, the man pages rendered without
# warnings, the completions parsed, the binaries' hardening, and the programs run from the packages
# unpacked into a temporary root: --version, --help and a read of the simulator over loopback (by
# dalvora and by dalvoractl).
set -euo pipefail

build_dir=${1:-build-deb}
packages=("$build_dir"/packages/*.deb)
root=$(mktemp -d)
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT

step() { echo "check-package: $*"; }

step "lintian"
lintian --fail-on error "${packages[@]}" >"$root/lintian.txt" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$root/lintian.txt" || true
[ "${lintian_status:-0}" -eq 0 ] || { echo "lintian found errors" >&2; exit 1; }

for package in "${packages[@]}"; do dpkg-deb -x "$package" "$root"; done

step "desktop entry and AppStream metadata"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/*.metainfo.xml

step "man pages"
for name in dalvora dalvoractl dalvora-printer-sim; do
    page=$root/usr/share/man/man1/$name.1.gz
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page: $warnings" >&2; exit 1; }
    MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^EXIT STATUS' || { echo "$page: no EXIT STATUS" >&2; exit 1; }
done

step "bash completion"
for completion in "$root"/usr/share/bash-completion/completions/*; do bash -n "$completion"; done
reply=$(bash -c 'shopt -s extglob; source "$1"; COMP_WORDS=(dalvora --sendtcfx -t ""); COMP_CWORD=3
    _dalvora; echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/dalvora")
[ "$reply" = "usb eth ser" ] || { echo "completion of -t gave: $reply" >&2; exit 1; }
reply=$(bash -c 'shopt -s extglob; source "$1"; COMP_WORDS=(dalvoractl --json ap); COMP_CWORD=2
    _dalvoractl; echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/dalvoractl")
[ "$reply" = "apply" ] || { echo "completion of dalvoractl's subcommand gave: $reply" >&2; exit 1; }

step "hardening"
# Debian 12's build flags have no control-flow protection; everything else must be there.
hardening-check --nocfprotection "$root"/usr/bin/dalvora "$root"/usr/bin/dalvoractl \
    "$root"/usr/bin/dalvora-printer-sim

step "programs from the unpacked packages"
export DALVORA_TESTONLY_TIME_SCALE=0.1
"$root/usr/bin/dalvora" --version | grep -qx "Release: [0-9.]*"
"$root/usr/bin/dalvora" --help | grep -q -- "--sendtcfx"
"$root/usr/bin/dalvoractl" --version | grep -qx "dalvoractl [0-9.]*"
"$root/usr/bin/dalvoractl" --help | grep -q -- "--inventory"
python3 -m json.tool "$root/usr/share/doc/dalvora/dalvoractl.schema.json" >/dev/null
"$root/usr/bin/dalvora-printer-sim" --check-profile --profile large | grep -q "profile ok"
"$root/usr/bin/dalvora-printer-sim" --tcp 127.0.0.1:0 >"$root/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    port=$(sed -n 's/^listening tcp 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$root/sim.out")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { cat "$root/sim.out" >&2; exit 1; }
"$root/usr/bin/dalvora" --printerversion -v -t eth -d "127.0.0.1:$port" | tail -1 | grep -qx "Operation Completed"
"$root/usr/bin/dalvoractl" -q --json read "eth:127.0.0.1:$port" |
    python3 -c 'import json, sys; assert json.load(sys.stdin)["summary"]["ok"] == 1'
step "passed"
