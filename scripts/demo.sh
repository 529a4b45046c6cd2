#!/usr/bin/env bash
# The main job: prints an example job through the driver to a file; rt7700-print shows the summary.
set -euo pipefail
build=${1:-build/release}
cd "$(dirname "$0")/.."
"$build/bin/rt7700-print" examples/collated-copies.json --output "$build/demo.prn"
echo "printer stream: $build/demo.prn"
