#!/usr/bin/env python3
"""Reads the compiled help file back: every page of the help folder is in it, whole.

usage: check_help_file.py HELP_FILE PAGES_DIR

The file is unpacked with extract_chmLib (Debian libchm-bin); without it the test is skipped
(exit 77).
"""

import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def main():
    help_file, pages = sys.argv[1], sys.argv[2]
    if not os.path.isfile(help_file):
        print(f"{help_file} was not built")
        return 1
    tool = shutil.which("extract_chmLib")
    if not tool:
        print("extract_chmLib (libchm-bin) is not installed: the help file is not read back")
        return SKIP
    with tempfile.TemporaryDirectory() as out:
        result = subprocess.run([tool, help_file, out], capture_output=True, text=True)
        if result.returncode != 0:
            print(result.stdout, result.stderr)
            return 1
        expected = sorted(n for n in os.listdir(pages) if n.endswith((".htm", ".css", ".hhc", ".hhk")))
        missing = []
        for name in expected:
            unpacked = os.path.join(out, name)
            if not os.path.isfile(unpacked):
                missing.append(name)
                continue
            with open(os.path.join(pages, name), "rb") as a, open(unpacked, "rb") as b:
                if a.read() != b.read():
                    print(f"{name} differs in the help file")
                    return 1
        if missing:
            print("missing from the help file:", ", ".join(missing))
            return 1
        # The help pages the commands, dialogs, linked tables and scripting need.
        for page in ("commands.htm", "dialogs.htm", "linked_tables.htm", "scripting.htm"):
            if page not in expected:
                print(f"the help has no {page}")
                return 1
        print(f"{len(expected)} pages in {help_file}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
