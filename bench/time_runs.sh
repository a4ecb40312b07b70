#!/usr/bin/env bash
# Times whole runs of redivez against the fastest peer tool (normaliz, lrs, cdd,
# 4ti2) on the reference cones and on generated ones: median wall seconds, peak
# memory, their ratios and a check of every ray set. Options and columns:
#
#   bench/time_runs.sh --help
#
# The work is done by bench/time_runs.py. When a peer program is missing and
# this runs as root, it first runs
#   apt-get install -y normaliz lrslib libcdd-tools 4ti2
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

missing=0
for program in normaliz lrs cddexec_gmp 4ti2-rays; do
  command -v "$program" > /dev/null || missing=1
done
if [ "$missing" = 1 ] && [ "$(id -u)" = 0 ]; then
  echo "time_runs: installing the peer tools" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq normaliz lrslib libcdd-tools 4ti2 > /dev/null
fi

exec python3 "$here/time_runs.py" "$@"
