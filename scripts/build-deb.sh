#!/usr/bin/env bash
# Builds the Debian packages with the distribution's build flags (hardening included: PIE, stack
# protector, fortify, relro and bind-now) into BUILD_DIR/packages.
set -euo pipefail

build_dir=${1:-build-deb}
cd "$(dirname "$0")/.."

eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
# CMake reads no CPPFLAGS: the fortify definition goes with the compiler flags.
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DDALVORA_BUILD_TESTS=OFF -DDALVORA_BUILD_BENCH=OFF -DDALVORA_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build_dir" -j "${JOBS:-$(nproc)}" --target dalvora dalvoractl dalvora-printer-sim \
    dalvora_packaging_files
rm -rf "$build_dir/packages"
cpack --config "$build_dir/CPackConfig.cmake" -B "$build_dir/packages" >/dev/null
ls "$build_dir"/packages/*.deb
