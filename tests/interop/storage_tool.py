#!/usr/bin/python3
"""The zydb-storage commands as a user meets them: round trips of stream bytes, the listing,
renames, and the wording and exit status of every kind of failure.

  storage_tool.py PATH-TO-zydb-storage
"""
import fcntl
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cfbcheck  # noqa: E402

TOOL = None
# ls -l: fixed-width columns (kind, size, created, modified), then the indented name.
ISO = r"(- {19}|\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)"
LONG_LINE = re.compile(r"^(stream |storage) ( *(?:\d+|-))  " + ISO + "  " + ISO + "  (.*)$")


def tool(*args, stdin=b""):
    p = subprocess.run([TOOL] + list(args), input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return p.returncode, p.stdout, p.stderr.decode("utf-8", "replace")


class ToolCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zy-tool-")
        self.file = os.path.join(self.dir, "f.cfb")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def ok(self, *args, stdin=b""):
        rc, out, err = tool(*args, stdin=stdin)
        self.assertEqual((rc, err), (0, ""), "zydb-storage %s" % " ".join(args))
        return out

    def fails(self, code, *args, words=()):
        """The command fails with exit 1 and one line naming the command, the file, the code
        and the code's message; words must appear in it too."""
        rc, out, err = tool(*args)
        self.assertEqual(rc, 1, err)
        self.assertEqual(err.count("\n"), 1, err)
        self.assertTrue(err.startswith("zydb-storage %s: " % args[0]), err)
        if code:
            m = re.search(r": \$%08X (\S.*)\n$" % code, err)
            self.assertIsNotNone(m, err)
            self.assertNotIn("\r", err)
        for w in words:
            self.assertIn(w, err)
        return err

    def src(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def digest(self):
        with open(self.file, "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()

    def assert_valid(self):
        problems = cfbcheck.check(self.file).problems
        self.assertEqual(problems, [])


class Commands(ToolCase):
    def test_new_makes_empty_files_of_both_versions(self):
        for args, major in ((["new"], 4), (["new", "-3"], 3), (["new", "-4"], 4)):
            if os.path.exists(self.file):
                os.remove(self.file)
            self.ok(*args, self.file)
            with open(self.file, "rb") as f:
                header = f.read(32)
            self.assertEqual(header[26], major)
            self.assert_valid()
            self.assertEqual(self.ok("ls", self.file), b"")

    def test_new_never_replaces_a_file(self):
        self.ok("new", self.file)
        self.ok("put", self.file, "keep", self.src("in", b"data"))
        before = self.digest()
        self.fails(0x80030050, "new", "-3", self.file, words=[self.file])
        self.assertEqual(self.digest(), before)

    def test_put_and_cat_round_trip_any_size_and_source(self):
        self.ok("new", "-3", self.file)
        self.ok("mkdir", self.file, "S")
        for size in (0, 1, 63, 64, 4095, 4096, 4097, 70000):
            data = bytes((i * 7 + size) % 256 for i in range(size))
            self.ok("put", self.file, "S/f%d" % size, self.src("in", data))
            self.assertEqual(self.ok("cat", self.file, "S/f%d" % size), data)
            self.ok("put", self.file, "/S/stdin%d/" % size, stdin=data)  # extra slashes are ignored
            self.ok("put", self.file, "S/dash%d" % size, "-", stdin=data)
            self.assertEqual(self.ok("cat", self.file, "S/stdin%d" % size), data)
            self.assertEqual(self.ok("cat", self.file, "S/dash%d" % size), data)
        # Replacing: a big stream by a small one and back.
        self.ok("put", self.file, "S/f70000", stdin=b"tiny")
        self.assertEqual(self.ok("cat", self.file, "S/f70000"), b"tiny")
        self.ok("put", self.file, "S/f0", stdin=b"x" * 9000)
        self.assertEqual(self.ok("cat", self.file, "S/f0"), b"x" * 9000)
        self.assert_valid()

    def test_names_with_control_characters_and_other_scripts(self):
        self.ok("new", self.file)
        self.ok("put", self.file, "\\x05Props", stdin=b"p")
        self.ok("put", self.file, "Données", stdin=b"d")
        out = self.ok("ls", self.file).decode("utf-8")
        self.assertEqual(sorted(out.splitlines()), ["Données", "\\x05Props"])
        self.assertEqual(self.ok("cat", self.file, "\\x05props"), b"p")  # names ignore case
        self.assertEqual(self.ok("cat", self.file, "DONNéES"), b"d")

    def test_ls_shows_the_tree_in_sibling_order(self):
        self.ok("new", self.file)
        for d in ("Stor", "Stor/Inner", "Empty"):
            self.ok("mkdir", self.file, d)
        for p, data in (("top", b"abc"), ("Stor/s", b""), ("Stor/Inner/deep", b"1" * 5000), ("b", b"12")):
            self.ok("put", self.file, p, stdin=data)
        # Shorter names first, then by upper-cased name.
        self.assertEqual(self.ok("ls", self.file).decode(),
                         "b\ntop\nStor/\n  s\n  Inner/\n    deep\nEmpty/\n")
        self.assertEqual(self.ok("ls", self.file, "Stor").decode(), "s\nInner/\n  deep\n")
        self.assertEqual(self.ok("ls", self.file, "Stor/Inner/deep").decode(), "deep\n")
        lines = self.ok("ls", "-l", self.file).decode().splitlines()
        parsed = [LONG_LINE.match(line) for line in lines]
        self.assertTrue(all(parsed), lines)
        self.assertEqual([(m.group(1).strip(), m.group(2).strip(), m.group(5)) for m in parsed],
                         [("stream", "2", "b"), ("stream", "3", "top"), ("storage", "-", "Stor/"),
                          ("stream", "0", "  s"), ("storage", "-", "  Inner/"),
                          ("stream", "5000", "    deep"), ("storage", "-", "Empty/")])
        self.assertEqual([m.group(3).strip() for m in parsed if m.group(1) == "stream "], ["-"] * 4)
        self.assertTrue(LONG_LINE.match(self.ok("ls", "-l", self.file, "top").decode()))

    def test_mkdir_and_mv(self):
        self.ok("new", self.file)
        self.ok("mkdir", self.file, "A")
        self.ok("mkdir", self.file, "A/B")
        self.ok("put", self.file, "A/B/s", stdin=b"s")
        self.ok("mv", self.file, "A/B", "C")
        self.ok("mv", self.file, "A/C/s", "t")
        self.assertEqual(self.ok("ls", self.file).decode(), "A/\n  C/\n    t\n")
        self.assertEqual(self.ok("cat", self.file, "A/C/t"), b"s")
        self.assert_valid()

    def test_read_only_commands_leave_the_file_alone(self):
        self.ok("new", self.file)
        self.ok("put", self.file, "s", stdin=b"z" * 5000)
        before, stamp = self.digest(), os.stat(self.file).st_mtime_ns
        self.ok("ls", "-l", self.file)
        self.ok("cat", self.file, "s")
        self.assertEqual((self.digest(), os.stat(self.file).st_mtime_ns), (before, stamp))


class Failures(ToolCase):
    def test_usage_errors_exit_2_with_the_usage(self):
        self.ok("new", self.file)
        for args in ([], ["ls"], ["frob", self.file], ["ls", "-x", self.file], ["cat", self.file],
                     ["cat", self.file, "a", "b"], ["mv", self.file, "a"], ["new"], ["new", "-3"],
                     ["new", "-l", self.file], ["mv", self.file, "a", "b/c"], ["cat", self.file, "/"],
                     ["put", self.file, ""], ["mkdir", self.file, "//"]):
            rc, out, err = tool(*args)
            self.assertEqual(rc, 2, args)
            self.assertIn("usage: zydb-storage", err, args)
            self.assertEqual(out, b"", args)

    def test_help(self):
        for flag in ("--help", "-h"):
            rc, out, err = tool(flag)
            self.assertEqual((rc, err), (0, ""))
            self.assertIn(b"usage: zydb-storage", out)

    def test_missing_elements_name_the_path_that_failed(self):
        self.ok("new", self.file)
        self.ok("mkdir", self.file, "A")
        before = self.digest()
        for args, where in ((["cat", self.file, "A/none"], "A/none"),
                            (["cat", self.file, "A/X/none"], "A/X"),
                            (["ls", self.file, "A/none"], "A/none"),
                            (["put", self.file, "X/s"], "X"),
                            (["mkdir", self.file, "X/Y"], "X"),
                            (["mv", self.file, "A/none", "n"], "A/none -> n")):
            self.fails(0x80030002, *args, words=[self.file + ": " + where + ": "])
        self.assertEqual(self.digest(), before)

    def test_existing_names(self):
        self.ok("new", self.file)
        self.ok("mkdir", self.file, "A")
        self.ok("put", self.file, "s", stdin=b"s")
        self.fails(0x80030050, "mkdir", self.file, "A")
        self.fails(0x80030050, "mkdir", self.file, "s")
        self.fails(0x80030050, "mv", self.file, "s", "a")  # the same name, in another case

    def test_put_never_replaces_a_storage(self):
        self.ok("new", self.file)
        self.ok("mkdir", self.file, "A")
        self.ok("put", self.file, "A/s", stdin=b"keep")
        self.fails(0, "put", self.file, "A", words=["A: is a storage"])
        self.assertEqual(self.ok("cat", self.file, "A/s"), b"keep")

    def test_wrong_kind_of_element(self):
        self.ok("new", self.file)
        self.ok("mkdir", self.file, "A")
        self.ok("put", self.file, "s", stdin=b"s")
        self.fails(0x80030002, "cat", self.file, "A")
        self.fails(0x80030002, "ls", self.file, "s/x")

    def test_bad_names(self):
        self.ok("new", self.file)
        self.fails(0x800300FC, "mkdir", self.file, "x" * 32)
        self.fails(0x800300FC, "put", self.file, "a:b")
        self.ok("put", self.file, "x" * 31, stdin=b"")

    def test_files_that_are_missing_or_not_compound(self):
        missing = os.path.join(self.dir, "missing.cfb")
        self.fails(0x80030002, "ls", missing, words=[missing])
        self.assertFalse(os.path.exists(missing))
        text = self.src("text", b"just some text, not a compound file\n" * 40)
        err = self.fails(0x80030050, "cat", text, "x", words=[text, "(not a compound file)"])
        rc, _, err = tool("put", self.file, "s", os.path.join(self.dir, "no-source"))
        self.assertEqual(rc, 1)
        self.assertIn("no-source", err)
        self.assertFalse(os.path.exists(self.file))

    def test_a_source_that_cannot_be_read_keeps_the_old_stream(self):
        self.ok("new", self.file)
        self.ok("put", self.file, "s", stdin=b"old bytes")
        for source in (os.path.join(self.dir, "no-source"), self.dir):
            rc, _, err = tool("put", self.file, "s", source)
            self.assertEqual(rc, 1)
            self.assertTrue(err.startswith("zydb-storage put: %s: " % source), err)
        self.assertEqual(self.ok("cat", self.file, "s"), b"old bytes")

    def test_file_open_elsewhere(self):
        # Readers share the file with other readers; a writer needs it alone.
        self.ok("new", self.file)
        self.ok("put", self.file, "s", stdin=b"s")
        with open(self.file, "rb") as held:
            fcntl.flock(held, fcntl.LOCK_SH)
            self.assertEqual(self.ok("cat", self.file, "s"), b"s")
            self.fails(0x80030020, "put", self.file, "t")
            fcntl.flock(held, fcntl.LOCK_EX)
            self.fails(0x80030020, "ls", self.file)
            self.fails(0x80030020, "mkdir", self.file, "D")


if __name__ == "__main__":
    TOOL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
