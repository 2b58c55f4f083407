#!/usr/bin/env bash
# Renders the demo drawing after its refresh to doc/img/demo-drawing.png: the sample drawing
# is refreshed from the sample database (as scripts/demo.sh does) and exported by the console
# host's EXPORT command. Usage: scripts/render_demo.sh [BUILD_DIR] (default build; it must
# hold a build of the host and Quarvel17).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
for f in "$build/bin/cadhost" "$build/lib/Quarvel17.so" "$build/sample/quarvel_sample.sqlite"; do
    if [ ! -e "$f" ]; then
        echo "render_demo: $f is missing (build first: bash scripts/build.sh $build)" >&2
        exit 1
    fi
done
work="$build/render_demo"
rm -rf "$work"
mkdir -p "$work" doc/img
cp sample/equipment.dxf "$work/equipment.dxf"
cp "$build/sample/quarvel_sample.sqlite" "$work/quarvel_sample.sqlite"
cat > "$work/render.scr" <<'SCRIPT'
DbTable_Update
ALL

EXPORT
demo-drawing.png
2400x220

SCRIPT
(cd "$work" && "$OLDPWD/$build/bin/cadhost" --load "$OLDPWD/$build/lib/Quarvel17.so" \
    --release 17.0 --script render.scr equipment.dxf)
cp "$work/demo-drawing.png" doc/img/demo-drawing.png
echo
echo "render_demo: wrote doc/img/demo-drawing.png"
