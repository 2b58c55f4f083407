#!/usr/bin/env python3
"""Checks that includes run only downward through the layers of the repository.

usage: check_layers.py [--root DIR] [--skip RULE]... [--only RULE]...

Rules:
  module-boundary  module code (frame link tables data dialogs online ArxUtils resources)
                   includes only platform/ and the module folders: never host/ or provider/,
                   and no relative path that leaves the module folders
  module-order     a module folder includes only lower ones: frame > dialogs, online >
                   tables > link > data > ArxUtils > platform; resources is included by
                   dialogs, online and frame
  platform         platform/ includes only platform/
  host-layers      a host layer includes only itself, lower host layers and platform/:
                   ui > session > render > dxf > db > base
  host-private     a layer's internal.h is included only inside its own layer

Each violation is one line "file:line: X includes Y" (X the folder or layer of the file, Y the
included file); the exit status is 1 when there is any, 0 otherwise.
"""

import argparse
import os
import re
import sys

MODULE_DIRS = ["frame", "link", "tables", "data", "dialogs", "online", "ArxUtils", "resources"]

# What each module folder may include besides itself.
MODULE_BELOW = {
    "platform": [],
    "ArxUtils": ["platform"],
    "data": ["ArxUtils", "platform"],
    "link": ["data", "ArxUtils", "platform"],
    "tables": ["link", "data", "ArxUtils", "platform"],
    "dialogs": ["resources", "tables", "link", "data", "ArxUtils", "platform"],
    "online": ["resources", "tables", "link", "data", "ArxUtils", "platform"],
    "frame": ["dialogs", "online", "resources", "tables", "link", "data", "ArxUtils", "platform"],
    "resources": ["platform"],
}

HOST_LAYERS = ["base", "db", "dxf", "render", "session", "ui"]  # lowest first

RULES = ["module-boundary", "module-order", "platform", "host-layers", "host-private"]

SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".cc", ".c", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
TOP_FOLDERS = set(MODULE_DIRS) | {"platform", "host", "provider"}


def sources(root, folder):
    base = os.path.join(root, folder)
    for dirpath, dirnames, filenames in os.walk(base):
        dirnames.sort()
        for name in sorted(filenames):
            if name.endswith(SOURCE_ENDINGS):
                yield os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")


def includes(root, path):
    """The project includes of a file: (line, text, target) with target relative to root."""
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            quote, text = m.group(1), m.group(2)
            # A quoted include is looked up beside the file first, then from the include roots.
            beside = os.path.normpath(os.path.join(os.path.dirname(path), text))
            if quote == '"' and os.path.isfile(os.path.join(root, beside)):
                target = beside.replace(os.sep, "/")
            else:
                target = os.path.normpath(text).replace(os.sep, "/")
                if target.split("/")[0] not in TOP_FOLDERS and not text.startswith("."):
                    continue  # a system or library header
            yield number, text, target


def top(target):
    return target.split("/")[0]


def host_layer(path):
    parts = path.split("/")
    if len(parts) > 2 and parts[0] == "host" and parts[1] in HOST_LAYERS:
        return parts[1]
    return None


def check(root, rules):
    problems = []

    def report(path, line, part, target):
        problems.append(f"{path}:{line}: {part} includes {target}")

    for folder in MODULE_DIRS:
        for path in sources(root, folder):
            for line, text, target in includes(root, path):
                where = top(target)
                if "module-boundary" in rules:
                    if target.startswith("..") or where not in set(MODULE_DIRS) | {"platform"}:
                        report(path, line, folder, target)
                        continue
                if "module-order" in rules and where in MODULE_BELOW:
                    if where != folder and where not in MODULE_BELOW[folder]:
                        report(path, line, folder, target)

    if "platform" in rules:
        for path in sources(root, "platform"):
            for line, text, target in includes(root, path):
                if top(target) != "platform":
                    report(path, line, "platform", target)

    for path in sources(root, "host"):
        layer = host_layer(path)
        part = f"host/{layer}" if layer else "host"
        for line, text, target in includes(root, path):
            where = top(target)
            if "host-layers" in rules:
                if where not in ("host", "platform"):
                    report(path, line, part, target)
                    continue
                wanted = host_layer(target)
                if where == "host" and (
                    layer is None
                    or wanted is None
                    or HOST_LAYERS.index(wanted) > HOST_LAYERS.index(layer)
                ):
                    report(path, line, part, target)
                    continue
            if "host-private" in rules and where == "host":
                wanted = host_layer(target)
                if target.endswith("/internal.h") and wanted != layer:
                    report(path, line, part, target)

    return problems


def main():
    parser = argparse.ArgumentParser(description="Checks that includes run only downward.")
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--skip", action="append", default=[], choices=RULES)
    parser.add_argument("--only", action="append", default=[], choices=RULES)
    args = parser.parse_args()
    rules = set(args.only or RULES) - set(args.skip)
    root = os.path.abspath(args.root)
    problems = check(root, rules)
    for p in problems:
        print(p)
    if problems:
        print(f"check_layers: {len(problems)} include(s) against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
