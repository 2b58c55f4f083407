#!/usr/bin/env python3
"""Tests of scripts/check_layers.py: a copy of a small tree that keeps the layers passes, and
each kind of include against the layers, planted in a copy, fails with its line.

usage: check_layers_test.py REPOSITORY
"""

import os
import shutil
import subprocess
import sys
import tempfile

# A small tree that keeps the layers, as folder/file -> lines.
TREE = {
    "platform/dbmain.h": ['#include "platform/acadstrc.h"'],
    "platform/acadstrc.h": ["#include <cstdint>"],
    "host/base/text.h": ["#include <string>"],
    "host/db/internal.h": ['#include "host/base/text.h"'],
    "host/db/object.cpp": ['#include "host/db/internal.h"', '#include "platform/dbmain.h"'],
    "host/dxf/load.cpp": ['#include "host/db/hostdb.h"'],
    "host/db/hostdb.h": ['#include "platform/dbmain.h"'],
    "host/ui/editor.cpp": ['#include "host/session/documents.h"', '#include "host/dxf/tags.h"'],
    "host/session/documents.h": ['#include "platform/dbmain.h"'],
    "host/dxf/tags.h": ["#include <vector>"],
    "ArxUtils/ArxUtils.cpp": ['#include "ArxUtils/ArxUtils.h"', '#include "platform/dbmain.h"'],
    "ArxUtils/ArxUtils.h": [],
    "data/ADODatabase.cpp": ['#include "ArxUtils/ArxUtils.h"'],
    "link/TableLink.cpp": ['#include "data/ADODatabase.h"', '#include "TableLink.h"'],
    "link/TableLink.h": [],
    "data/ADODatabase.h": [],
    "tables/BuildTable.cpp": ['#include "link/TableLink.h"'],
    "dialogs/Step.cpp": ['#include "tables/BuildTable.h"', '#include "resources/strings.h"'],
    "tables/BuildTable.h": [],
    "resources/strings.h": [],
    "frame/App.cpp": ['#include "dialogs/Step.h"', '#include "online/Menu.h"'],
    "dialogs/Step.h": [],
    "online/Menu.h": ['#include "tables/BuildTable.h"'],
}

# (what is planted, file, include line, the violation reported)
PLANTED = [
    ("a lower host layer includes a higher one", "host/db/object.cpp",
     '#include "host/ui/editor.h"', "host/db includes host/ui/editor.h"),
    ("the database's internal header outside the database", "host/dxf/load.cpp",
     '#include "host/db/internal.h"', "host/dxf includes host/db/internal.h"),
    ("a module includes the host", "link/TableLink.cpp",
     '#include "host/db/hostdb.h"', "link includes host/db/hostdb.h"),
    ("a module includes the provider", "data/ADODatabase.cpp",
     '#include "provider/backend.h"', "data includes provider/backend.h"),
    ("a module leaves the module folders by a relative path", "tables/BuildTable.cpp",
     '#include "../host/db/hostdb.h"', "tables includes host/db/hostdb.h"),
    ("the platform includes the host", "platform/dbmain.h",
     '#include "host/db/hostdb.h"', "platform includes host/db/hostdb.h"),
    ("a module folder includes a higher one", "link/TableLink.cpp",
     '#include "tables/BuildTable.h"', "link includes tables/BuildTable.h"),
    ("two module folders of one rank", "dialogs/Step.cpp",
     '#include "online/Menu.h"', "dialogs includes online/Menu.h"),
    ("a module folder below resources' users", "tables/BuildTable.cpp",
     '#include "resources/strings.h"', "tables includes resources/strings.h"),
]


def make_tree(root):
    for path, lines in TREE.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write("".join(line + "\n" for line in lines))


def run(checker, root):
    return subprocess.run([sys.executable, checker, "--root", root], capture_output=True,
                          text=True)


def main():
    repository = sys.argv[1]
    checker = os.path.join(repository, "scripts", "check_layers.py")
    failures = 0
    with tempfile.TemporaryDirectory() as base:
        clean = os.path.join(base, "clean")
        make_tree(clean)
        result = run(checker, clean)
        if result.returncode != 0:
            print(f"FAIL: a tree that keeps the layers: exit {result.returncode}\n{result.stdout}")
            failures += 1
        for what, path, include, expected in PLANTED:
            copy = os.path.join(base, "planted")
            shutil.rmtree(copy, ignore_errors=True)
            shutil.copytree(clean, copy)
            with open(os.path.join(copy, path), "a") as f:
                f.write(include + "\n")
            line = len(TREE[path]) + 1
            result = run(checker, copy)
            wanted = f"{path}:{line}: {expected}"
            if result.returncode != 1 or result.stdout.splitlines() != [wanted]:
                print(f"FAIL: {what}: exit {result.returncode}, wanted exactly \"{wanted}\", "
                      f"got:\n{result.stdout}")
                failures += 1
    print(f"{len(PLANTED) + 1 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
