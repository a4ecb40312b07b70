#!/usr/bin/env bash
# Installs the build dependencies that are missing (Debian 12, as root),
# configures build/ in Release mode and builds the program; with --tests
# first, the test suite too. The other arguments go to cmake. The benchmarks
# are configured, not built: `cmake --build build` builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."

target=redivez
if [ "${1-}" = "--tests" ]; then
  target=redivez_tests
  shift
fi

packages="g++ cmake make libgmp-dev libgtest-dev libbenchmark-dev"
missing=""
for p in $packages; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build -j"$(nproc)" --target "$target"
