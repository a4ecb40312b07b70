#!/usr/bin/env bash
# Runs redivez on the reference cones with each adjacency test and compares the
# integer result with the reference rays as sets.
#
#   bench/conformance.sh [--all] [--binary PATH] [--cones DIR] [--timeout SECONDS]
#                        [--tests "COMBINATIONAL_TEST ALGEBRAIC_TEST PARTITIONED_SETS_TEST"]
#
# Without --all only the instances that finish within a few seconds are run.
# Prints one line per instance and test; exits 1 on any mismatch or failure.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
binary="$here/../build/redivez"
cones="$here/../../shared/cones"
timeout_s=600
all=0
tests="COMBINATIONAL_TEST ALGEBRAIC_TEST PARTITIONED_SETS_TEST"

while [ $# -gt 0 ]; do
  case "$1" in
    --all) all=1 ;;
    --binary) binary=$2; shift ;;
    --cones) cones=$2; shift ;;
    --timeout) timeout_s=$2; shift ;;
    --tests) tests=$2; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done

binary=$(realpath "$binary")

if [ ! -d "$cones" ]; then
  echo "conformance: no reference cones at $cones, nothing to compare"
  exit 0
fi

# Each of these takes about a second at most with every test.
quick="cube_6 cross_6 cyclic_dual_20_4 metcone_5 metpoly_5 nmz_Condorcet nmz_FortuneCookie_facets
nmz_big_facets nmz_hickerson16 nmz_knapsack_11_60 nmz_max_polytope_cand nmz_small_facets
nmz_small_sh_proj prodsimplex_5x5 rand01_dual_8_40 rand_cone_150_6 rand_poly_rat_50_6
4ti2_magic4x4 nmz_PluralityVsCutoff rand_poly_deg_120_7 rand_poly_200_5 nmz_medium_facets
cyclic_dual_40_6 cube_14 cyclic_dual_24_10 nmz_A443_facets nmz_strictBorda"

if [ "$all" = 1 ]; then
  names=$(for m in "$cones"/*.meta; do basename "$m" .meta; done)
else
  names=$quick
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

reference() {
  if [ -f "$cones/$1.rays" ]; then cat "$cones/$1.rays"; else gzip -dc "$cones/$1.rays.gz"; fi
}

failures=0
printf '%-28s %-20s %10s %10s %-8s %8s\n' instance test found expected result seconds
for name in $names; do
  [ -f "$cones/$name.txt" ] || continue
  if [ ! -f "$cones/$name.rays" ] && [ ! -f "$cones/$name.rays.gz" ]; then
    continue
  fi
  reference "$name" | LC_ALL=C sort > "$work/expected"
  expected=$(wc -l < "$work/expected")
  for test in $tests; do
    cp "$cones/$name.txt" "$work/$name.txt"
    rm -f "$work/$name.txt.out"
    printf 'AdjacencyTest = %s\nOutput format = INTEGER_VEC\n' "$test" > "$work/run.conf"
    start=$(date +%s%N)
    (cd "$work" && timeout "$timeout_s" "$binary" "$name.txt" run.conf > "$work/console" 2>&1)
    status=$?
    seconds=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
    if [ $status -ne 0 ] || [ ! -f "$work/$name.txt.out" ]; then
      result="FAILED($status)"
      found=-
    elif [ "$(head -n 1 "$work/$name.txt.out")" != "Extreme rays:" ]; then
      result=NO_HEADER
      found=-
    else
      tail -n +2 "$work/$name.txt.out" | sed 's/ *$//' | LC_ALL=C sort > "$work/found"
      found=$(wc -l < "$work/found")
      if cmp -s "$work/found" "$work/expected"; then result=OK; else result=MISMATCH; fi
    fi
    [ "$result" = OK ] || failures=$((failures + 1))
    printf '%-28s %-20s %10s %10s %-8s %8s\n' "$name" "$test" "$found" "$expected" "$result" "$seconds"
  done
done

if [ $failures -ne 0 ]; then
  echo "conformance: $failures run(s) failed"
  exit 1
fi
echo "conformance: all runs agree with the reference rays"
