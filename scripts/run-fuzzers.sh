#!/usr/bin/env bash
# Runs each fuzz target for a while over its committed corpus (copied, so CI leaves no new files).
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
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/$name-" "$work/$name" 2>&1 | tail -n 12
  status=${PIPESTATUS[0]}
  if [ "$status" -ne 0 ]; then
    echo "$name failed; crashing inputs:" >&2
    ls "$work/$name"-* >&2 || true
    mkdir -p "$root/build/fuzz-artifacts" && cp "$work/$name"-* "$root/build/fuzz-artifacts/" 2>/dev/null || true
    exit "$status"
  fi
done
