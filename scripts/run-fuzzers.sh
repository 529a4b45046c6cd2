#!/usr/bin/env bash
# Runs each fuzz target for a while over its committed corpus (copied, so CI leaves no new files).
# A crashing input is kept in build/fuzz-artifacts/; commit it under fuzz/corpus/<name>/ once
# fixed, so ctest replays it.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for fuzzer in "$build"/bin/fuzz_*; do
  name=$(basename "$fuzzer")
  corpus="$root/fuzz/corpus/${name#fuzz_}"
  mkdir -p "$work/$name"
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work/$name"/
  echo "== $name for ${seconds}s"
  status=0
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/$name-" "$work/$name" \
    > "$work/$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/$name.log"
    mkdir -p "$root/build/fuzz-artifacts"
    cp "$work/$name"-* "$root/build/fuzz-artifacts/" 2>/dev/null || true
    echo "$name failed (status $status); inputs kept in build/fuzz-artifacts/" >&2
    exit "$status"
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$work/$name.log" || tail -n 3 "$work/$name.log"
done
