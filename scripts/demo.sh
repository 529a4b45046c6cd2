#!/usr/bin/env bash
# The main job on the built-in example.
set -euo pipefail
build=${1:-build/release}
"$build/bin/rt7700-devmode"
