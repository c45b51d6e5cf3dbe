#!/usr/bin/env python3
"""The layers, as the folders show them: wire < link < session < gui | cli,
and the virtual device beside them on wire and link. A file may include its
own layer and those below it, never one above, and the two front ends never
include each other. Prints every include that breaks this and exits 1.

usage: check-layers.py SOURCE_DIR"""
import os
import re
import sys

ALLOWED = {
    "wire": {"wire"},
    "link": {"wire", "link"},
    "session": {"wire", "link", "session"},
    "gui": {"wire", "link", "session", "gui"},
    "cli": {"wire", "link", "session", "cli"},
    "device": {"wire", "link", "device"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/')


def main(root):
    broken = []
    for layer, allowed in ALLOWED.items():
        for folder, _, files in os.walk(os.path.join(root, layer)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1) in ALLOWED and m.group(1) not in allowed:
                            broken.append(f"{os.path.relpath(path, root)}:{number}: {layer} includes {m.group(1)}")
    for b in broken:
        print(b)
    print(f"layers: {len(broken)} include(s) against the layering" if broken else "layers: every include keeps to its layer")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
