#!/usr/bin/env bash
# Builds the project and runs the main job on the project's own sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build
./build/bin/cadhost
