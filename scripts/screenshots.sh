#!/usr/bin/env bash
# Takes a picture of each dialog with the desktop toolkit under a virtual X server, into
# doc/img/<name>.png. Dialogs that do not open (not written yet, or not reachable from the
# script) are skipped and listed.
#
# To add a dialog, add a line to the table below:
#   name|module|drawing|script
# name     the picture's file name (doc/img/<name>.png)
# module   the module to load (a path below build/)
# drawing  a drawing to open first (a path below sample/), or "-" for a new drawing
# script   the script's lines, separated by "\n"; {PNG} stands for the picture's path.
#          The script opens the dialog, takes the picture with @screenshot {PNG} and
#          closes it again.
# options  (optional) more cadhost options; {WORK} stands for the working folder. With
#          --window the picture is of the main window with the dialog over it.
set -euo pipefail
cd "$(dirname "$0")/.."

dialogs=(
    "database-browser|lib/Quarvel17.so|equipment.dxf|DbTable_Create\n@pick 100 quarvel_sample.sqlite > Equipment\n@screenshot {PNG}\n@cancel"
    "connection|lib/Quarvel17.so|equipment.dxf|DbTable_Create\n@click 101\n@pick 107 SQLite3 ODBC Driver\n@set 108 quarvel_sample.sqlite\n@screenshot {PNG}\n@cancel\n@cancel"
    "query|lib/Quarvel17.so|equipment.dxf|DbTable_Create\n@pick 100 quarvel_sample.sqlite\n@click 106\n@set 126 Many\n@pick 113 Equipment\n@pick 114 Tag\n@set 123 SELECT Tag, Quantity FROM Equipment WHERE Quantity > 2\n@screenshot {PNG}\n@cancel\n@cancel"
    "column-heading|lib/Quarvel17.so|equipment.dxf|DbTable_Create\n@pick 100 quarvel_sample.sqlite > Equipment\n@click 137\n@dblclick 142 0,1\n@set 3456 Beschreibung\n@screenshot {PNG}\n@cancel\n@cancel"
    "table-properties|lib/Quarvel17.so|equipment.dxf|DbTable_Update\nL\n\nDbTable_Properties\nL\n@screenshot {PNG}\n@cancel"
    "toolkit-controls|tests/host/ui/wx/wx_test_module.so|-|WXT_CONTROLS\n@screenshot {PNG}\n@cancel"
    "toolkit-grid|tests/host/ui/wx/wx_test_module.so|-|WXT_COLUMNS\n@dblclick 142 0,1\n@set 3456 Price\n@screenshot {PNG}\n@cancel"
    "desktop-window|lib/Quarvel17.so|equipment.dxf|DbTable_Create\n@pick 100 quarvel_sample.sqlite > Equipment\n@screenshot {PNG}\n@cancel|--window --menu {WORK}/morvane.menu"
)

if ! command -v xvfb-run >/dev/null; then
    echo "screenshots: xvfb-run is missing (bash scripts/setup.sh installs it)" >&2
    exit 1
fi
bash scripts/build.sh build >/dev/null
# cadhost reads plain script files only (not /dev/null): an empty one says whether it shows windows.
empty=$(mktemp --suffix=.scr)
trap 'rm -f "$empty"' EXIT
if ! xvfb-run -a ./build/bin/cadhost --ui gui --script "$empty" >/dev/null 2>&1; then
    echo "screenshots: cadhost cannot show windows (was it built without wxWidgets?)" >&2
    exit 1
fi

work=build/screenshots
rm -rf "$work"
mkdir -p "$work" doc/img
cp sample/*.dxf "$work/" 2>/dev/null || true
cp build/sample/quarvel_sample.sqlite "$work/" 2>/dev/null || true
cp sample/morvane.menu "$work/"

taken=() skipped=()
for entry in "${dialogs[@]}"; do
    IFS='|' read -r name module drawing lines options <<<"$entry"
    # Relative to the repository (cadhost runs there), so that a picture of the command line
    # does not show where the repository happens to be.
    picture="doc/img/$name.png"
    rm -f "$picture"
    printf '%b\n' "${lines//\{PNG\}/$picture}" >"$work/$name.scr"
    args=(--ui gui --load "build/$module" --script "$work/$name.scr")
    [ "$drawing" != "-" ] && args+=("$work/$drawing")
    # shellcheck disable=SC2206  # the options are words
    [ -n "${options:-}" ] && args+=(${options//\{WORK\}/$work})
    if [ -f "build/$module" ] &&
        xvfb-run -a -s "-screen 0 1280x1024x24" ./build/bin/cadhost "${args[@]}" \
            >"$work/$name.out" 2>&1 && [ -f "$picture" ]; then
        taken+=("$name")
    else
        rm -f "$picture"
        skipped+=("$name")
    fi
done
echo "screenshots: taken: ${taken[*]:-none}"
echo "screenshots: skipped (the dialog did not open; see $work/NAME.out): ${skipped[*]:-none}"
