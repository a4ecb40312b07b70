#!/usr/bin/env bash
# Prints wall and user seconds of whole runs of a redivez binary on the hard
# reference cones, for both single-set adjacency tests; the median of --runs.
#
#   bench/time_runs.sh [--binary PATH] [--cones DIR] [--runs N] [--timeout SECONDS]
#                      [--instances "NAME ..."]
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
binary="$here/../build/redivez"
cones="$here/../../shared/cones"
runs=1
timeout_s=150
instances="cross_12 nmz_cut_poly_7_facets metcone_7 rand_poly_40_11 nmz_lo6_facets
nmz_semigraphoid5_facets 4ti2_magic6x6"

while [ $# -gt 0 ]; do
  case "$1" in
    --binary) binary=$2; shift ;;
    --cones) cones=$2; shift ;;
    --runs) runs=$2; shift ;;
    --timeout) timeout_s=$2; shift ;;
    --instances) instances=$2; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done
binary=$(realpath "$binary")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-28s %-20s %8s %8s\n' instance test wall_s user_s
for name in $instances; do
  [ -f "$cones/$name.txt" ] || continue
  cp "$cones/$name.txt" "$work/"
  for test in COMBINATIONAL_TEST ALGEBRAIC_TEST; do
    printf 'AdjacencyTest = %s\n' "$test" > "$work/run.conf"
    : > "$work/times"
    for _ in $(seq "$runs"); do
      (cd "$work" && /usr/bin/time -f '%e %U' -o "$work/time" \
        timeout "$timeout_s" "$binary" "$name.txt" run.conf > /dev/null 2>&1)
      tail -1 "$work/time" >> "$work/times"
    done
    wall=$(cut -d' ' -f1 "$work/times" | median)
    user=$(cut -d' ' -f2 "$work/times" | median)
    printf '%-28s %-20s %8s %8s\n' "$name" "$test" "$wall" "$user"
  done
done
