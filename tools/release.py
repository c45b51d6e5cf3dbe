#!/usr/bin/env python3
"""The release archive and its check.

    release.py pack --version VERSION [--jobs N]   (make dist)
    release.py check [--jobs N]                    (make dist-check)
    release.py show EXE ...                        a PE's time stamp and version resource

pack builds quorvane.exe and quorvane-cli.exe for win64 in build/dist
(RelWithDebInfo, the flags the tests ran, only those two targets), strips
them, checks them (no time stamp in the PE header, the version in the version
resource, no build folder inside) and writes dist/quorvane-VERSION-win64.zip:
the two programs, the technicians' guide (docs/使用说明.md), README.md and
SHA256SUMS. Members are sorted by name, dated SOURCE_DATE_EPOCH (the commit's
time unless the environment gives one) and stored with fixed permissions and
compression, so the same commit gives the same bytes.

check clones the commit HEAD twice into two folders of different names, runs
`make dist` in each, and compares the archives byte for byte; when they
differ it names the members (and the fields of the archive) that differ.
"""
import argparse
import hashlib
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GUIDE = "docs/使用说明.md"
PROGRAMS = ("quorvane.exe", "quorvane-cli.exe")
STRIP = "x86_64-w64-mingw32-strip"
# Fixed member attributes: a Unix archive (create_system 3) with rw-r--r--.
MEMBER_MODE = 0o100644
COMPRESS_LEVEL = 9


def fail(message):
    print(f"make dist: {message}", file=sys.stderr)
    sys.exit(1)


def git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, check=True, stdout=subprocess.PIPE,
                          text=True).stdout.strip()


# --- PE files ----------------------------------------------------------------

def _u16(data, off):
    return struct.unpack_from("<H", data, off)[0]


def _u32(data, off):
    return struct.unpack_from("<I", data, off)[0]


def pe_timestamp(data):
    """TimeDateStamp of the COFF header: 0 when the linker left the time out."""
    pe = _u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    return _u32(data, pe + 8)


def _resource_data(data, type_id):
    """Bytes of the first resource of a type (first name, first language)."""
    pe = _u32(data, 0x3C)
    sections, opt_size = _u16(data, pe + 6), _u16(data, pe + 20)
    opt = pe + 24
    magic = _u16(data, opt)
    dirs = opt + (112 if magic == 0x20B else 96)
    count = _u32(data, dirs - 4)
    if count < 3:
        return None
    rsrc_rva = _u32(data, dirs + 2 * 8)
    if rsrc_rva == 0:
        return None
    table = opt + opt_size

    def offset(rva):
        for i in range(sections):
            s = table + 40 * i
            vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, s + 8)
            if va <= rva < va + max(vsize, rawsize):
                return raw + rva - va
        raise ValueError(f"RVA {rva:#x} in no section")

    base = offset(rsrc_rva)

    def entries(directory):
        named, ids = _u16(data, directory + 12), _u16(data, directory + 14)
        for i in range(named + ids):
            yield struct.unpack_from("<II", data, directory + 16 + 8 * i)

    node = base
    for level in range(3):
        for name, target in entries(node):
            if level == 0 and name != type_id:
                continue
            break
        else:
            return None
        if level < 2:
            if not target & 0x80000000:
                return None
            node = base + (target & 0x7FFFFFFF)
        else:
            leaf = base + target
            rva, size = _u32(data, leaf), _u32(data, leaf + 4)
            start = offset(rva)
            return data[start:start + size]
    return None


def _version_node(data, off):
    """One node of a VS_VERSIONINFO tree: (key, value bytes, is text, children, length)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, off)
    end = off + length
    p = off + 6
    key_end = p
    while key_end + 1 < end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[p:key_end].decode("utf-16-le")
    p = (key_end + 2 + 3) & ~3
    if value_length == 0:
        value, after = b"", p
    elif value_type == 1:   # text: up to its terminating zero
        q = p
        while q + 1 < end and data[q:q + 2] != b"\0\0":
            q += 2
        value, after = data[p:q], q + 2
    else:
        value, after = data[p:p + value_length], p + value_length
    p = (after + 3) & ~3
    children = []
    while p + 6 <= end:
        child = _version_node(data, p)
        children.append(child)
        if child[4] == 0:
            break
        p = (p + child[4] + 3) & ~3
    return key, value, value_type == 1, children, length


def version_resource(data):
    """{"FileVersionNumbers": "a.b.c.d", "ProductVersionNumbers": ..., "FileVersion": ..., ...}
    from the version resource (RT_VERSION), or None when there is none."""
    raw = _resource_data(data, 16)
    if raw is None:
        return None
    key, fixed, _, children, _ = _version_node(raw, 0)
    if key != "VS_VERSION_INFO" or len(fixed) < 52 or _u32(fixed, 0) != 0xFEEF04BD:
        raise ValueError("malformed version resource")
    ms, ls, pms, pls = struct.unpack_from("<IIII", fixed, 8)
    info = {
        "FileVersionNumbers": f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}",
        "ProductVersionNumbers": f"{pms >> 16}.{pms & 0xFFFF}.{pls >> 16}.{pls & 0xFFFF}",
    }
    for name, _, _, tables, _ in children:
        if name != "StringFileInfo":
            continue
        for language, _, _, strings, _ in tables:
            info["Language"] = language
            for k, v, _, _, _ in strings:
                info[k] = v.decode("utf-16-le")
    return info


def build_folders_in(data, folders):
    """Those of the folders whose names appear in the bytes (as 8-bit or UTF-16 text)."""
    found = []
    for folder in folders:
        for form in (folder.encode(), folder.encode("utf-16-le")):
            if form in data:
                found.append(folder)
                break
    return found


def show(paths):
    for path in paths:
        with open(path, "rb") as f:
            data = f.read()
        print(f"{path}: PE time stamp {pe_timestamp(data)}")
        for k, v in (version_resource(data) or {"version resource": "none"}).items():
            print(f"  {k}: {v}")
    return 0


# --- make dist -----------------------------------------------------------------

def source_date_epoch():
    given = os.environ.get("SOURCE_DATE_EPOCH")
    return int(given) if given else int(git("log", "-1", "--format=%ct"))


def sub_make_env():
    """Without the calling make's variables: the builds below are make runs of their own."""
    env = dict(os.environ)
    for k in ("MAKEFLAGS", "MFLAGS", "MAKELEVEL", "MAKEOVERRIDES"):
        env.pop(k, None)
    return env


def build_env():
    """The build's environment without SOURCE_DATE_EPOCH: the linker would
    write that time into the PE header and hide a missing
    --no-insert-timestamp."""
    env = sub_make_env()
    env.pop("SOURCE_DATE_EPOCH", None)
    return env


def build(version, jobs):
    tree = os.path.join(ROOT, "build", "dist")
    env = build_env()
    subprocess.run(["cmake", "-S", ROOT, "-B", tree, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    f"-DCMAKE_TOOLCHAIN_FILE={ROOT}/cmake/mingw-w64-x86_64.cmake",
                    f"-DQV_VERSION={version}"], check=True, env=env, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", tree, "-j", str(jobs), "--target", "quorvane", "quorvane-cli"],
                   check=True, env=env)
    stage = os.path.join(tree, "stripped")
    os.makedirs(stage, exist_ok=True)
    out = {}
    for name in PROGRAMS:
        target = os.path.join(stage, name)
        # strip writes the present time into the PE header unless
        # SOURCE_DATE_EPOCH names one; 0 keeps the header without a time.
        subprocess.run([STRIP, "--strip-all", "-o", target, os.path.join(tree, name)], check=True,
                       env=dict(env, SOURCE_DATE_EPOCH="0"))
        with open(target, "rb") as f:
            out[name] = f.read()
    return out, tree


def check_programs(programs, version, folders):
    problems = []
    for name, data in programs.items():
        if pe_timestamp(data) != 0:
            problems.append(f"{name}: the PE header holds a time stamp ({pe_timestamp(data)})")
        info = version_resource(data) or {}
        for field in ("FileVersion", "ProductVersion"):
            if info.get(field) != version:
                problems.append(f"{name}: {field} in the version resource is {info.get(field)!r}, not {version!r}")
        for folder in build_folders_in(data, folders):
            problems.append(f"{name}: holds the build's folder {folder}")
    if version.encode() + b"\0" not in programs["quorvane-cli.exe"]:   # its Version, as 8-bit text
        problems.append(f"quorvane-cli.exe: `--version` would not print quorvane-cli {version}")
    return problems


def zip_member(name, mtime):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(mtime, 315532800))[:6])
    info.create_system = 3
    info.external_attr = MEMBER_MODE << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def write_archive(path, members, mtime):
    """members: name -> bytes. SHA256SUMS (sha256sum's format) joins them."""
    sums = "".join(f"{hashlib.sha256(members[n]).hexdigest()}  {n}\n" for n in sorted(members))
    members = dict(members, SHA256SUMS=sums.encode())
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        for name in sorted(members):
            z.writestr(zip_member(name, mtime), members[name], compresslevel=COMPRESS_LEVEL)
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(buffer.getvalue())
    os.replace(tmp, path)


def pack(args):
    guide = os.path.join(ROOT, GUIDE)
    if not os.path.isfile(guide):
        fail(f"{GUIDE}, the technicians' guide, is missing: the release archive is not made without it")
    if subprocess.run(["git", "ls-files", "--error-unmatch", GUIDE], cwd=ROOT,
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
        print(f"make dist: note: {GUIDE} is not committed; no commit makes this archive again")
    version = args.version
    if not version or version == "unknown":
        fail("no version: `git describe --tags --always --dirty` gave nothing")
    if version.endswith("-dirty"):
        print("make dist: note: the tree has uncommitted changes (version ends in -dirty)")
    mtime = source_date_epoch()
    programs, tree = build(version, args.jobs)
    problems = check_programs(programs, version, [ROOT, tree])
    if problems:
        fail("the programs are not fit to ship:\n  " + "\n  ".join(problems))
    members = dict(programs)
    for name, source in (("使用说明.md", guide), ("README.md", os.path.join(ROOT, "README.md"))):
        with open(source, "rb") as f:
            members[name] = f.read()
    os.makedirs(os.path.join(ROOT, "dist"), exist_ok=True)
    path = os.path.join(ROOT, "dist", f"quorvane-{version}-win64.zip")
    write_archive(path, members, mtime)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    print(f"{os.path.relpath(path, ROOT)}: {os.path.getsize(path)} bytes, sha256 {digest}")
    for name in sorted(programs):
        print(f"  {name}: {len(programs[name])} bytes (stripped)")
    print(f"  dated {time.strftime('%Y-%m-%d %H:%M:%S', time.gmtime(mtime))} UTC (SOURCE_DATE_EPOCH {mtime})")
    return 0


# --- make dist-check -----------------------------------------------------------

PLACEHOLDER = ("# 使用说明\n\nPlaceholder written by `make dist-check` into its clones while the "
               "guide is not committed; never shipped.\n")


def make_dist(clone, jobs, log):
    with open(log, "w", encoding="utf-8") as f:
        p = subprocess.run(["make", "-C", clone, "dist", f"JOBS={jobs}"], stdout=f, stderr=subprocess.STDOUT,
                           env=sub_make_env())
    with open(log, encoding="utf-8", errors="replace") as f:
        return p.returncode, f.read()


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def explain(a_path, b_path):
    """Lines naming what differs between two archives."""
    lines = []
    with zipfile.ZipFile(a_path) as a, zipfile.ZipFile(b_path) as b:
        ia, ib = a.infolist(), b.infolist()
        na, nb = [i.filename for i in ia], [i.filename for i in ib]
        if na != nb:
            lines.append(f"member names or order differ: {na} / {nb}")
        ib_by = {i.filename: i for i in ib}
        for x in ia:
            y = ib_by.get(x.filename)
            if y is None:
                continue
            fields = [f for f in ("date_time", "external_attr", "create_system", "compress_type", "flag_bits",
                                  "extra", "comment") if getattr(x, f) != getattr(y, f)]
            if fields:
                lines.append(f"{x.filename}: archive fields differ: {', '.join(fields)}")
            da, db = a.read(x.filename), b.read(y.filename)
            if da != db:
                at = first_difference(da, db)
                what = f"{x.filename}: contents differ ({len(da)} / {len(db)} bytes, first at offset {at:#x})"
                if x.filename.endswith(".exe"):
                    ta, tb = pe_timestamp(da), pe_timestamp(db)
                    if ta != tb:
                        what += f"; PE time stamps {ta} / {tb}"
                lines.append(what)
            elif x.compress_size != y.compress_size:
                lines.append(f"{x.filename}: same contents, compressed differently")
    return lines or ["the archives differ outside their members (headers or central directory)"]


def check(args):
    sha = git("rev-parse", "HEAD")
    if git("status", "--porcelain", "--untracked-files=no"):
        print("dist-check: note: uncommitted changes are not checked; this checks the commit HEAD")
    work = tempfile.mkdtemp(prefix="quorvane-dist-check-")
    clones = [os.path.join(work, "one"), os.path.join(work, "the-second-clone")]
    started = time.time()
    for clone in clones:
        subprocess.run(["git", "clone", "--quiet", "--no-checkout", ROOT, clone], check=True)
        subprocess.run(["git", "-C", clone, "checkout", "--quiet", "--detach", sha], check=True)
    # Without the guide make dist stops at once and names it (the guide is
    # set aside in the first clone for this). A commit without the guide gets
    # a placeholder in both clones, so that the builds can still be compared.
    guide = os.path.join(clones[0], GUIDE)
    committed = os.path.exists(guide)
    if committed:
        os.rename(guide, guide + ".aside")
    rc, out = make_dist(clones[0], args.jobs, os.path.join(work, "no-guide.log"))
    if rc == 0 or GUIDE not in out:
        print(f"dist-check: FAILED: without {GUIDE} make dist should stop and name it; it said:\n{out}")
        return 1
    print(f"dist-check: without {GUIDE} make dist stops and says so")
    if committed:
        os.rename(guide + ".aside", guide)
    else:
        print(f"dist-check: {GUIDE} is not in this commit: both clones get a placeholder guide")
        for clone in clones:
            with open(os.path.join(clone, GUIDE), "w", encoding="utf-8") as f:
                f.write(PLACEHOLDER)
    archives = []
    for n, clone in enumerate(clones, 1):
        t0 = time.time()
        log = os.path.join(work, f"dist-{n}.log")
        rc, out = make_dist(clone, args.jobs, log)
        if rc != 0:
            print(out[-4000:])
            print(f"dist-check: FAILED: make dist in {clone} (exit {rc}); log {log}")
            return 1
        found = sorted(os.listdir(os.path.join(clone, "dist")))
        archives.append(os.path.join(clone, "dist", found[0]))
        print(f"dist-check: build {n} in {clone}: {found[0]} ({time.time() - t0:.0f} s)", flush=True)
    a, b = archives
    with open(a, "rb") as f:
        da = f.read()
    with open(b, "rb") as f:
        db = f.read()
    if os.path.basename(a) == os.path.basename(b) and da == db:
        print(f"dist-check: identical: {os.path.basename(a)}, {len(da)} bytes, sha256 "
              f"{hashlib.sha256(da).hexdigest()} ({time.time() - started:.0f} s)")
        shutil.rmtree(work)
        return 0
    print(f"dist-check: FAILED: the two builds of {sha[:12]} differ:")
    if os.path.basename(a) != os.path.basename(b):
        print(f"  archive names: {os.path.basename(a)} / {os.path.basename(b)}")
    for line in explain(a, b):
        print("  " + line)
    print(f"dist-check: both clones are kept in {work}")
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("pack")
    p.add_argument("--version", required=True)
    p.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    c = sub.add_parser("check")
    c.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    s = sub.add_parser("show")
    s.add_argument("exe", nargs="+")
    args = parser.parse_args()
    if args.command == "pack":
        return pack(args)
    if args.command == "check":
        return check(args)
    return show(args.exe)


if __name__ == "__main__":
    sys.exit(main())
