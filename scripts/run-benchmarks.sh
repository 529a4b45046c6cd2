#!/usr/bin/env bash
# Runs every benchmark program of a build; each prints its baseline beside its measurements.
set -euo pipefail
build=${1:-build/release}
for b in "$build"/bin/*_bench; do
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2 "${@:2}"
done
