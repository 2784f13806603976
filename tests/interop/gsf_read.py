#!/usr/bin/python3
"""Files another program writes, read through our service: "gsf createole" turns a directory
tree into a version 3 compound file; zydb-storage must list the same tree with the same sizes
and copy out the same bytes; changed through zydb-storage, the file must then read cleanly in
every tool. libgsf's files differ from ours in legal ways (times on streams, storages starting at
ENDOFCHAIN, all-black sibling chains as deep as a storage is wide).

  gsf_read.py PATH-TO-zydb-storage
"""
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cfbcheck  # noqa: E402
import verify  # noqa: E402

TOOL = None
LONG_LINE = re.compile(r"^(stream |storage) ([ \d-]{12})  (.{20})  (.{20})  (.*)$")


def run(args, cwd=None):
    p = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0:
        raise AssertionError("%s: exit %d: %s" % (" ".join(args), p.returncode, p.stderr.decode()))
    return p.stdout


class GsfFiles(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zy-gsf-")
        self.src = os.path.join(self.dir, "src")
        self.rng = random.Random(7)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def put(self, rel, size):
        path = os.path.join(self.src, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(bytes(self.rng.getrandbits(8) for _ in range(size)))

    def build(self):
        """Writes the compound file of everything under src; returns its expected tree as
        {path: size or None for a storage}."""
        out = os.path.join(self.dir, "gsf.cfb")
        run(["gsf", "createole", out] + sorted(os.listdir(self.src)), cwd=self.src)
        tree = {}
        for root, dirs, files in os.walk(self.src):
            rel = os.path.relpath(root, self.src)
            for d in dirs:
                tree[os.path.normpath(os.path.join(rel, d))] = None
            for f in files:
                tree[os.path.normpath(os.path.join(rel, f))] = os.path.getsize(os.path.join(root, f))
        return out, tree

    def listing(self, cfb):
        """zydb-storage ls -l, turned back into {path: size or None}. Its columns have fixed
        widths; names are indented two spaces a level, storages end in "/"."""
        tree, stack = {}, []
        for line in run([TOOL, "ls", "-l", cfb]).decode("utf-8").splitlines():
            m = LONG_LINE.match(line)
            self.assertIsNotNone(m, line)
            name = m.group(5)
            depth = (len(name) - len(name.lstrip(" "))) // 2
            stack[depth:] = [name.strip().rstrip("/")]
            tree["/".join(stack)] = None if m.group(1) == "storage" else int(m.group(2))
        return tree

    def check(self, cfb, tree):
        self.assertEqual(self.listing(cfb), tree)
        for path, size in tree.items():
            if size is None:
                continue
            data = run([TOOL, "cat", cfb, path])
            with open(os.path.join(self.src, path), "rb") as f:
                self.assertEqual(data, f.read(), path)

    def test_small_big_and_nested_items(self):
        for rel, size in (("Small", 100), ("Big", 100000), ("Exact", 4096), ("Below", 4095),
                          ("Empty", 0), ("Stor1/a", 3), ("Stor1/Inner/x4096", 4096),
                          ("Stor1/Inner/empty", 0), ("Stor1/Inner/mid", 5000),
                          ("Stor1/Inner/Deep/Deeper/leaf", 70), ("Stor2/big", 300000)):
            self.put(rel, size)
        out, tree = self.build()
        self.check(out, tree)
        # A subtree, listed on its own.
        listed = run([TOOL, "ls", out, "Stor1/Inner"]).decode().splitlines()
        self.assertEqual(sorted(listed), sorted(["mid", "empty", "x4096", "Deep/", "  Deeper/", "    leaf"]))

    def test_a_storage_as_wide_as_a_chain_of_1500(self):
        # libgsf links wide storages into one right-leaning chain, 1500 levels deep here.
        for i in range(1500):
            self.put("Wide/n%04d" % i, i % 90)
        out, tree = self.build()
        self.assertEqual(self.listing(out), tree)
        for i in (0, 1, 749, 1498, 1499):
            path = "Wide/n%04d" % i
            with open(os.path.join(self.src, path), "rb") as f:
                self.assertEqual(run([TOOL, "cat", out, path]), f.read())

    def test_changed_by_us_then_read_by_every_tool(self):
        # Every storage of the libgsf file changes, so each of its sibling trees is rebuilt by our
        # service; the result must then satisfy every reader and our own strict checker.
        for rel, size in (("Small", 100), ("Big", 10000), ("Stor1/a", 3), ("Stor1/Inner/x4096", 4096),
                          ("Stor1/Inner/empty", 0)):
            self.put(rel, size)
        for i in range(300):
            self.put("Wide/n%03d" % i, i % 50)
        out, tree = self.build()
        content = {}
        for path, size in tree.items():
            if size is not None:
                with open(os.path.join(self.src, path), "rb") as f:
                    content[path] = f.read()
        storages = {path for path, size in tree.items() if size is None}

        def put(path, data):
            subprocess.run([TOOL, "put", out, path], input=data, check=True)
            content[path] = data

        for storage in sorted(storages) + [""]:
            put((storage + "/" if storage else "") + "added", bytes(range(256)) * 20)
        put("Big", b"now small")
        put("Wide/n000", b"w" * 4096)
        run([TOOL, "mv", out, "Small", "Tiny"])
        content["Tiny"] = content.pop("Small")
        run([TOOL, "mkdir", out, "Stor1/New"])
        storages.add("Stor1/New")
        expected = [cfbcheck.manifest_line("D", p) for p in storages]
        expected += [cfbcheck.manifest_line("S", p, data) for p, data in content.items()]
        self.assertEqual(verify.verify(out, expected), [])


if __name__ == "__main__":
    TOOL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
