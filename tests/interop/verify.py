#!/usr/bin/python3
"""verify: reads one compound file with every independent reader we have and compares what each
sees with the tree its writer meant to write.

  verify.py FILE EXPECTED

EXPECTED is a manifest (cfbcheck.manifest_line, one element a line, any order). The readers:
our own byte-level checker (structure, sibling trees, accounting); olefile in strict mode, reading
every stream; 7-Zip's listing (no warnings, no errors), extraction of every stream and "7z e -so"
of some; olecfinfo's tree with its sizes. Prints each disagreement and exits 1 if there is any.
"""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cfbcheck  # noqa: E402
import olefile  # noqa: E402

# Streams also piped out one by one with "7z e -so" (one process each, so only a sample).
PIPED_SAMPLE = 12


def by_path(lines):
    return {line.split("\t", 3)[3]: line for line in lines}


def compare(reader, expected, got, problems):
    exp, have = by_path(expected), by_path(got)
    if len(have) != len(got):
        problems.append("%s: lists some paths twice" % reader)
    diffs = []
    for path in sorted(set(exp) | set(have)):
        if exp.get(path) != have.get(path):
            diffs.append("  expected %s; got %s" % (exp.get(path, "(nothing)").replace("\t", " "),
                                                have.get(path, "(nothing)").replace("\t", " ")))
    if diffs:
        problems.append("%s: %d elements differ:\n%s" % (reader, len(diffs), "\n".join(diffs[:10])))


# Names are not all ASCII; the tools print them as UTF-8 only under a UTF-8 locale.
ENV = dict(os.environ, LC_ALL="C.UTF-8")


def run(cmd):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=ENV)
    return p.returncode, p.stdout.decode("utf-8", "replace")


def with_olefile(path):
    """olefile looks each path up with a linear search of the storage's children, so the tree is
    walked through its entries and every stream read the way openstream reads it once found;
    listdir and openstream themselves are checked against that walk (openstream on a sample)."""
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    try:
        lines, streams = [], []

        def walk(node, prefix):
            for kid in node.kids:
                parts = prefix + [kid.name]
                name = "/".join(cfbcheck.escape_name(p) for p in parts)
                if kid.entry_type == olefile.STGTY_STORAGE:
                    lines.append(cfbcheck.manifest_line("D", name))
                    walk(kid, parts)
                else:
                    data = ole._open(kid.isectStart, kid.size).read()
                    if len(data) != kid.size:
                        raise ValueError("%s: read %d bytes of %d" % (name, len(data), kid.size))
                    lines.append(cfbcheck.manifest_line("S", name, data))
                    streams.append((parts, lines[-1]))

        walk(ole.root, [])
        listed = sorted("/".join(cfbcheck.escape_name(n) for n in parts)
                        for parts in ole.listdir(streams=True, storages=True))
        if listed != sorted(line.split("\t", 3)[3] for line in lines):
            raise ValueError("listdir differs from the tree of entries")
        for parts, line in streams[::max(1, len(streams) // PIPED_SAMPLE)]:
            data = ole.openstream(parts).read()
            if cfbcheck.manifest_line("S", "/".join(parts), data) != line:
                raise ValueError("openstream(%s) differs" % parts)
        return lines
    finally:
        ole.close()


ALARM = re.compile(r"^(Warnings|Errors): \d|^(WARNINGS|ERRORS):|^Open (WARNING|ERROR)|^ERROR", re.M)


def with_7zip(path, expected, problems, scratch):
    rc, out = run(["7z", "l", "-slt", "-tCompound", path])
    if rc != 0 or ALARM.search(out):
        problems.append("7z l: exit %d:\n%s" % (rc, out[-1500:]))
        return None
    sizes = {}
    for block in out.split("\n\n"):
        m = re.search(r"^Path = (.*)$", block, re.M)
        s = re.search(r"^Size = (.*)$", block, re.M)
        if m and s and "Type = Compound" not in block:
            sizes[m.group(1)] = s.group(1).strip()
    out_dir = os.path.join(scratch, "7z")
    rc, out = run(["7z", "x", "-y", "-tCompound", "-o" + out_dir, path])
    if rc != 0 or ALARM.search(out):
        problems.append("7z x: exit %d:\n%s" % (rc, out[-1500:]))
        return None
    lines = []
    for name, size in sizes.items():
        if size == "":
            lines.append(cfbcheck.manifest_line("D", name))
            continue
        with open(os.path.join(out_dir, name), "rb") as f:
            data = f.read()
        if len(data) != int(size):
            problems.append("7z: %s listed with %s bytes, extracted %d" % (name, size, len(data)))
        lines.append(cfbcheck.manifest_line("S", name, data))
    # The same streams once more through 7-Zip's pipe, a different path through its code.
    streams = sorted(line.split("\t", 3)[3] for line in expected if line.startswith("S"))
    step = max(1, len(streams) // PIPED_SAMPLE)
    for name in streams[::step]:
        p = subprocess.run(["7z", "e", "-so", "-tCompound", path, name],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=ENV)
        got = cfbcheck.manifest_line("S", name, p.stdout)
        if p.returncode != 0 or got not in expected:
            problems.append("7z e -so %s: exit %d, %s" % (name, p.returncode, got))
    return lines


def with_olecfinfo(path, problems):
    """olecfinfo shows names and sizes, indented two spaces a level, storages as 0 bytes."""
    rc, out = run(["olecfinfo", path])
    if rc == 0 and "No storage and stream items" in out:
        return []
    if rc != 0 or "Storage and stream items:" not in out:
        problems.append("olecfinfo: exit %d:\n%s" % (rc, out[-1500:]))
        return None
    items = out.split("Storage and stream items:\n", 1)[1].splitlines()
    lines, stack = [], []
    for item in items[1:]:  # items[0] is the root entry
        m = re.match(r"^((?:  )+)(.*) \((\d+) bytes\)$", item)
        if not m:
            continue
        depth = len(m.group(1)) // 2
        # It shows each byte of a name's UTF-8 beyond ASCII as \xhh.
        raw = re.sub(rb"\\x([0-9a-fA-F]{2})", lambda h: bytes([int(h.group(1), 16)]), m.group(2).encode())
        stack[depth - 1:] = [cfbcheck.escape_name(raw.decode("utf-8", "replace"))]
        lines.append("%s\t%s" % ("/".join(stack), m.group(3)))
    return lines


def verify(path, expected):
    problems = []
    checker = cfbcheck.check(path)
    problems += ["cfbcheck: " + p for p in checker.problems]
    compare("cfbcheck", expected, checker.manifest, problems)
    try:
        compare("olefile (strict)", expected, with_olefile(path), problems)
    except Exception as e:  # any defect olefile raises is a finding
        problems.append("olefile (strict): %s: %s" % (type(e).__name__, e))
    with tempfile.TemporaryDirectory() as scratch:
        got = with_7zip(path, expected, problems, scratch)
        if got is not None:
            compare("7z", expected, got, problems)
    got = with_olecfinfo(path, problems)
    if got is not None:
        # olecfinfo sees names and sizes only; a storage shows as 0 bytes.
        want = ["%s\t%s" % (line.split("\t")[3], "0" if line[0] == "D" else line.split("\t")[1])
                for line in expected]
        if sorted(want) != sorted(got):
            missing = sorted(set(want) - set(got))[:10]
            extra = sorted(set(got) - set(want))[:10]
            problems.append("olecfinfo: tree differs; missing %s; unexpected %s" % (missing, extra))
    return problems


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        expected = [line.rstrip("\n") for line in f if line.strip()]
    problems = verify(argv[0], expected)
    for p in problems:
        print("verify: %s: %s" % (argv[0], p))
    if not problems:
        print("verify: %s: %d elements read alike by cfbcheck, olefile, 7z and olecfinfo" % (argv[0], len(expected)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
