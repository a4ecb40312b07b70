#!/usr/bin/env bash
# Runs a baseline and a new redivez binary on the reference cones under several
# settings and checks that console text (milliseconds masked), result files and
# plot files are byte for byte the same. Baseline outputs are cached per binary.
#
#   bench/compare_outputs.sh --base PATH [--new PATH] [--cones DIR] [--jobs N]
#                            [--timeout SECONDS] [--big]
#
# Without --big only instances that finish within seconds are run; --big adds
# the hard ones under the three adjacency tests with default trees. Exits 1 on
# any difference, 2 when nothing could be compared.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
base=
new="$here/../build/redivez"
cones="$here/../../shared/cones"
jobs=3
timeout_s=300
big=0

while [ $# -gt 0 ]; do
  case "$1" in
    --base) base=$2; shift ;;
    --new) new=$2; shift ;;
    --cones) cones=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    --timeout) timeout_s=$2; shift ;;
    --big) big=1 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done
[ -n "$base" ] || { echo "compare_outputs: --base PATH is required" >&2; exit 2; }
base=$(realpath "$base")
new=$(realpath "$new")
[ -d "$cones" ] || { echo "compare_outputs: no cone directory $cones (use --cones DIR)" >&2; exit 2; }
cones=$(realpath "$cones")

small="cube_6 cross_6 cyclic_dual_20_4 metcone_5 metpoly_5 nmz_Condorcet nmz_big_facets
nmz_small_facets prodsimplex_5x5 rand01_dual_8_40 rand_cone_150_6 rand_poly_rat_50_6
4ti2_magic4x4 nmz_PluralityVsCutoff rand_poly_deg_120_7 rand_poly_200_5 nmz_medium_facets
cyclic_dual_40_6 nmz_A443_facets nmz_strictBorda cyclic_dual_24_10 cube_14"
large="cross_12 nmz_cut_poly_7_facets metcone_7 rand_poly_40_11 nmz_lo6_facets
nmz_semigraphoid5_facets"
strategies="comb alg part comb_dvp alg_qbn comb_svp alg_mcb comb_plot part_dbl"

# Settings file of a configuration name.
settings() {
  local tree=
  case "$1" in
    comb*) echo "AdjacencyTest = COMBINATIONAL_TEST" ;;
    alg*) echo "AdjacencyTest = ALGEBRAIC_TEST" ;;
    part*) echo "AdjacencyTest = PARTITIONED_SETS_TEST" ;;
  esac
  case "$1" in
    *_dvp) tree="Strategy = BINARY_DYNAMIC_VANTAGE_POINT" ;;
    *_svp) tree=$'Strategy = BINARY_STATIC_VANTAGE_POINT\nUniqueVantagePoint = 1' ;;
    *_qbn) tree=$'Strategy = BPT_QUERY_BITS_NEUTRALIZATION\nLeafCapacity = 5' ;;
    *_mcb) tree=$'Strategy = BPT_MOST_COMMON_BIT_FIRST\nMaxTreeDepth = 4' ;;
    *_plot) printf 'Plot file = plot\nOutput format = ACTIVE_SET\n' ;;
    *_dbl) echo "Output format = DOUBLE_VEC" ;;
  esac
  if [ -n "$tree" ]; then
    for section in "NARROWING DEGENERATE TREE" "NARROWING NONDEGENERATE TREE" "VERIFICATION TREE"; do
      printf '%s\n%s\n' "$section" "$tree"
    done
  fi
}

# run BINARY INSTANCE CONFIG DIR: leaves console, status and files in DIR.
run() {
  local binary=$1 name=$2 config=$3 dir=$4
  rm -rf "$dir" && mkdir -p "$dir/run"
  cp "$cones/$name.txt" "$dir/run/$name.txt"
  settings "$config" > "$dir/run/run.conf"
  (cd "$dir/run" && timeout "$timeout_s" "$binary" "$name.txt" run.conf > console 2>&1)
  echo $? > "$dir/status"
  sed -i -E 's/dt=[0-9]+ms/dt=#ms/; s/time: [0-9]+ms/time: #ms/' "$dir/run/console"
}

cases=
for name in $small; do for c in $strategies; do cases+="$name:$c "; done; done
if [ "$big" = 1 ]; then
  for name in $large; do cases+="$name:comb $name:alg $name:part "; done
fi

cache="${TMPDIR:-/tmp}/redivez_compare/$(sha1sum "$base" | cut -c1-16)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export -f run settings
export cones timeout_s

one() {
  local name=${1%%:*} config=${1#*:}
  [ -f "$cones/$name.txt" ] || return 0
  [ -f "$cache/$name.$config/status" ] || run "$base" "$name" "$config" "$cache/$name.$config"
  run "$new" "$name" "$config" "$work/$name.$config"
  if [ "$(cat "$cache/$name.$config/status")" = 124 ]; then
    echo "$name $config: baseline timed out, skipped"
  elif ! diff -r -q "$cache/$name.$config" "$work/$name.$config" > /dev/null; then
    echo "$name $config: DIFFERENT"
    diff -r "$cache/$name.$config" "$work/$name.$config" | head -5
  else
    echo "$name $config: same"
  fi
}
export -f one
export base new cache work

mkdir -p "$cache"
result=$(printf '%s\n' $cases | xargs -P "$jobs" -I{} bash -c 'one "$@"' _ {})
echo "$result"
if grep -q DIFFERENT <<< "$result"; then
  echo "compare_outputs: outputs differ"
  exit 1
fi
compared=$(grep -c ': same$' <<< "$result")
if [ "$compared" -eq 0 ]; then
  echo "compare_outputs: nothing was compared" >&2
  exit 2
fi
echo "compare_outputs: all $compared outputs identical"
