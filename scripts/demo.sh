#!/usr/bin/env bash
# Builds the project and runs the main job on the project's own sample: the sample drawing,
# whose table is linked to the sample database through a path relative to the drawing, is
# opened by the console host, refreshed from the freshly built database, saved as DXF and
# printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build
demo=build/demo
mkdir -p "$demo"
cp sample/equipment.dxf "$demo/equipment.dxf"
cp build/sample/quarvel_sample.sqlite "$demo/quarvel_sample.sqlite"
./build/bin/cadhost --load build/lib/Quarvel17.so --release 17.0 --script sample/demo.scr \
    "$demo/equipment.dxf"
echo
echo "demo: the refreshed drawing is $demo/equipment.dxf"
