#!/usr/bin/env python3
"""Planted faults: proves that the test suite notices small, plausible slips.

    make mutants                   every fault in faults.txt
    MUTANTS=crc-poly,rx-resync make mutants    only those (ids or fnmatch patterns)

The tree is copied to build/mutants/src (only what changed since the last
run) and built there (plain variants only: native, win64 for the Wine tests,
and the clang tree for the short fuzzing runs). Each fault is one exact
textual edit of a product file. It is planted, the targets of the tests that
could see it are rebuilt, those tests run (cheapest first, stopping at the
first that fails), and the file is put back. One line per fault, then a total.
"""
import fnmatch
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WORK = os.path.join(ROOT, "build", "mutants")
SRC = os.path.join(WORK, "src")
NATIVE = os.path.join(WORK, "native")
WIN64 = os.path.join(WORK, "win64")
FUZZ = os.path.join(WORK, "fuzz")
FAULTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "faults.txt")
JOBS = os.environ.get("JOBS", str(os.cpu_count() or 2))
TEST_LIMIT = int(os.environ.get("MUTANT_TEST_TIMEOUT", "420"))

# What a CTest name needs built: (tree, targets). A name that is not listed is
# a plain native GoogleTest program of the same name.
NEEDS = {
    "serial_wine_test": [("win64", ["serial_wine_test"])],
    "port_identity_wine_test": [("win64", ["port_identity_wine_test"])],
    "gui": [("win64", ["gui_test", "quorvane"]), ("native", ["quorvane-device"])],
    "cli_test": [("native", ["quorvane-cli", "quorvane-device"])],
    "device_line_speed_test": [("native", ["quorvane-device"])],
    "qemu_test": [("native", ["quorvane-cli", "quorvane-device"])],
    "cli_wine_test": [("win64", ["quorvane-cli", "qv-install-ports"]), ("native", ["quorvane-device"])],
    "sessions_test": [("native", ["sessions_test", "quorvane-device"])],
    "release_identity": [("win64", ["quorvane", "quorvane-cli"]), ("native", ["quorvane-cli"])],
    "receive_fuzz_short": [("fuzz", ["receive_fuzz"])],
    "sheet_fuzz_short": [("fuzz", ["sheet_fuzz"])],
}
# Rough cost, so the cheap tests run first.
COST = {"gui": 100, "serial_wine_test": 50, "port_identity_wine_test": 30, "cli_wine_test": 40, "cli_test": 20, "qemu_test": 45,
        "device_line_speed_test": 2,
        "receive_fuzz_short": 5, "sheet_fuzz_short": 5}


def unescape(text):
    return text.replace("\\n", "\n").replace("\\t", "\t")


def load_faults():
    """Blocks of `key: value` lines; a line `[id]` starts a fault."""
    faults, current = [], None
    with open(FAULTS, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = {"id": line[1:-1], "line": number}
                faults.append(current)
                continue
            key, sep, value = line.partition(":")
            if not sep or current is None:
                sys.exit(f"{FAULTS}:{number}: expected `key: value` inside a [fault]")
            current[key.strip()] = value[1:] if value.startswith(" ") else value
    for fault in faults:
        for key in ("file", "find", "replace", "tests"):
            if key not in fault:
                sys.exit(f"{FAULTS}:{fault['line']}: fault {fault['id']} has no {key}")
        fault["find"] = unescape(fault["find"])
        fault["replace"] = unescape(fault["replace"])
        fault["tests"] = fault["tests"].split()
    return faults


def selected(faults):
    wanted = [w for w in os.environ.get("MUTANTS", "").split(",") if w]
    if not wanted:
        return faults
    return [f for f in faults if any(fnmatch.fnmatch(f["id"], w) for w in wanted)]


def run(cmd, cwd=None, env=None, timeout=None, log=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, env=env, timeout=timeout, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True, errors="replace")
        out, rc = p.stdout, p.returncode
    except subprocess.TimeoutExpired as e:
        out, rc = (e.stdout or b"").decode(errors="replace") if isinstance(e.stdout, bytes) else (e.stdout or ""), 124
    if log:
        with open(log, "a", encoding="utf-8") as f:
            f.write(f"$ {' '.join(cmd)}\n{out}\n")
    return rc, out


def copy_tree():
    """Brings build/mutants/src level with the tree. Only files whose bytes
    differ are written (with a new time stamp), so that the builds there stay
    incremental and never miss a change."""
    skip = {"build", "dist", ".git"}
    wanted = set()
    for folder, dirs, files in os.walk(ROOT):
        dirs[:] = [d for d in dirs if not (folder == ROOT and d in skip)]
        for name in files:
            if folder == ROOT and name in skip:
                continue
            rel = os.path.relpath(os.path.join(folder, name), ROOT)
            wanted.add(rel)
            src, dst = os.path.join(ROOT, rel), os.path.join(SRC, rel)
            with open(src, "rb") as f:
                data = f.read()
            if os.path.exists(dst):
                with open(dst, "rb") as f:
                    if f.read() == data:
                        continue
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            with open(dst, "wb") as f:
                f.write(data)
            shutil.copymode(src, dst)
    for folder, _, files in os.walk(SRC):
        for name in files:
            path = os.path.join(folder, name)
            if os.path.relpath(path, SRC) not in wanted:
                os.remove(path)


def configure():
    nice = ["nice", "-n", "10"]
    rc, out = run(nice + ["cmake", "-S", SRC, "-B", NATIVE, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                          f"-DQV_WIN64_DIR={WIN64}", f"-DQV_FUZZ_DIR={FUZZ}",
                          # the real-kernel test's kernel stays in the tree's own build/
                          f"-DQV_KERNEL_DIR={os.path.join(ROOT, 'build', 'kernel')}"])
    if rc != 0:
        sys.exit("configure native failed:\n" + out)
    rc, out = run(nice + ["cmake", "-S", SRC, "-B", WIN64, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                          f"-DCMAKE_TOOLCHAIN_FILE={SRC}/cmake/mingw-w64-x86_64.cmake"])
    if rc != 0:
        sys.exit("configure win64 failed:\n" + out)
    rc, out = run(nice + ["cmake", "-S", SRC, "-B", FUZZ, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DQV_FUZZ_ONLY=ON"],
                  env=dict(os.environ, CXX="clang++"))
    if rc != 0:
        sys.exit("configure fuzz failed:\n" + out)


def base_name(test):
    return test.split(":", 1)[0]


def targets_for(tests):
    trees = {"native": set(), "win64": set(), "fuzz": set()}
    for t in tests:
        for tree, names in NEEDS.get(base_name(t), [("native", [base_name(t)])]):
            trees[tree].update(names)
    return trees


def build(trees, log):
    for tree, names in trees.items():
        if not names:
            continue
        d = {"native": NATIVE, "win64": WIN64, "fuzz": FUZZ}[tree]
        rc, out = run(["nice", "-n", "10", "cmake", "--build", d, "-j", JOBS, "--target"] + sorted(names), log=log)
        if rc != 0:
            return False
    return True


def run_test(test, log):
    """True when the test fails (sees the fault)."""
    name, _, groups = test.partition(":")
    env = dict(os.environ)
    if groups:
        env["QV_GUI_GROUPS"] = groups
    rc, out = run(["ctest", "-R", f"^{name}$", "--output-on-failure", "--timeout", str(TEST_LIMIT)],
                  cwd=NATIVE, env=env, timeout=TEST_LIMIT + 60, log=log)
    if "No tests were found" in out:
        return None
    return rc != 0


def main():
    faults = selected(load_faults())
    if not faults:
        sys.exit("no fault matches MUTANTS")
    log = os.path.join(WORK, "mutants.log")
    started = time.time()
    copy_tree()
    configure()
    if os.path.exists(log):
        os.remove(log)
    every = set()
    for f in faults:
        every.update(f["tests"])
    print(f"building the plain targets of {len(faults)} faults in {WORK} ...", flush=True)
    if not build(targets_for(every), log):
        sys.exit(f"the unchanged tree does not build; see {log}")

    caught, survived, broken = [], [], []
    for f in faults:
        path = os.path.join(SRC, f["file"])
        t0 = time.time()
        with open(path, encoding="latin-1") as src:
            original = src.read()
        count = original.count(f["find"])
        if count != 1:
            broken.append(f["id"])
            print(f"{f['id']:<28} STALE     `find` occurs {count} times in {f['file']}", flush=True)
            continue
        with open(path, "w", encoding="latin-1") as dst:
            dst.write(original.replace(f["find"], f["replace"]))
        try:
            tests = sorted(f["tests"], key=lambda t: COST.get(base_name(t), 1))
            if not build(targets_for(tests), log):
                broken.append(f["id"])
                verdict, by = "NOBUILD", "the planted edit does not compile"
            else:
                verdict, by = "SURVIVED", "none of: " + " ".join(tests)
                for t in tests:
                    seen = run_test(t, log)
                    if seen is None:
                        verdict, by = "SURVIVED", f"no CTest named {base_name(t)}"
                        continue
                    if seen:
                        verdict, by = "caught", t
                        break
        finally:
            with open(path, "w", encoding="latin-1") as dst:
                dst.write(original)
        (caught if verdict == "caught" else survived if verdict == "SURVIVED" else []).append(f["id"])
        print(f"{f['id']:<28} {verdict:<9} {by}  ({f['file']}, {time.time() - t0:.0f} s)", flush=True)

    total = len(faults)
    print(f"\n{len(caught)} of {total} faults caught, {len(survived)} survived"
          + (f", {len(broken)} stale or not compiling" if broken else "")
          + f" ({(time.time() - started) / 60:.1f} min)")
    if survived:
        print("survived: " + " ".join(survived))
    if broken:
        print("stale/not compiling: " + " ".join(broken))
    return 0


if __name__ == "__main__":
    sys.exit(main())
