#!/usr/bin/env python3
"""The shipped programs' identity: each PE header without a time stamp, the
version resource with the build's version (numbers and text, product name,
description, file name), and `quorvane-cli --version` printing the same
version natively and in quorvane-cli.exe. Prints each finding; exits 1 on any.

usage: release_identity_test.py --version TEXT --numbers A,B,C,D --native-cli PATH EXE..."""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import release  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--numbers", required=True)
    parser.add_argument("--native-cli", required=True)
    parser.add_argument("exe", nargs="+")
    args = parser.parse_args()
    numbers = args.numbers.replace(",", ".")
    problems = []

    for path in args.exe:
        name = os.path.basename(path)
        with open(path, "rb") as f:
            data = f.read()
        stamp = release.pe_timestamp(data)
        if stamp != 0:
            problems.append(f"{name}: the PE header holds a time stamp ({stamp}): "
                            "two builds of one commit differ (ld --no-insert-timestamp)")
        info = release.version_resource(data)
        if info is None:
            problems.append(f"{name}: no version resource")
            continue
        expected = {"FileVersion": args.version, "ProductVersion": args.version, "ProductName": "Quorvane",
                    "OriginalFilename": name, "FileVersionNumbers": numbers, "ProductVersionNumbers": numbers}
        for field, want in expected.items():
            if info.get(field) != want:
                problems.append(f"{name}: {field} is {info.get(field)!r}, not {want!r}")
        if not info.get("FileDescription"):
            problems.append(f"{name}: no FileDescription")
        print(f"{name}: time stamp {stamp}, version {info.get('FileVersion')} "
              f"({info.get('FileVersionNumbers')}), {info.get('FileDescription')}")
        # quorvane-cli joins "quorvane-cli " and its Version at run time; the
        # resource holds the version as UTF-16, so 8-bit text is the Version.
        if name == "quorvane-cli.exe" and args.version.encode() + b"\0" not in data:
            problems.append(f"{name}: its --version does not print {args.version}")

    out = subprocess.run([args.native_cli, "--version"], stdout=subprocess.PIPE, text=True).stdout.strip()
    print(f"native quorvane-cli --version: {out}")
    if out != f"quorvane-cli {args.version}":
        problems.append(f"native quorvane-cli --version prints {out!r}, not 'quorvane-cli {args.version}'")

    for p in problems:
        print("FAIL " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
