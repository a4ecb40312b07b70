#!/usr/bin/env bash
# Runs both reader fuzzers side by side for a bounded time, starting from the
# seed corpus and the kept regression inputs. Fails on any crash, leak, sanitizer report or
# input slower than the per-input timeout.
#
#   tests/fuzz/run.sh BUILD_DIR [SECONDS]
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

pids=""
for name in matrix settings; do
  fuzzer="$build/tests/fuzz/${name}_file_fuzzer"
  mkdir -p "$work/$name"
  seeds="$here/corpus/$name"
  [ -d "$here/regressions/$name" ] && seeds="$seeds $here/regressions/$name"
  (cd "$work" &&
    "$fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
      -dict="$here/${name}_file.dict" -artifact_prefix="$work/$name-" -print_final_stats=1 \
      "$work/$name" $seeds > "$work/$name.log" 2>&1) &
  pids="$pids $!"
done

failed=0
set -- $pids
for name in matrix settings; do
  if wait "$1"; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$')
    echo "fuzz $name: ${runs:-?} inputs in ${seconds}s, no failure"
  else
    failed=1
    echo "fuzz $name: FAILED"
    grep -v -E '^#[0-9]+' "$work/$name.log" | tail -n 60
    for artifact in "$work/$name"-*; do
      [ -f "$artifact" ] || continue
      echo "input $(basename "$artifact") (base64; keep it in $here/regressions/$name, with NAME.expected):"
      base64 -w 0 "$artifact"
      echo
    done
  fi
  shift
done
exit $failed
