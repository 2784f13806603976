#!/usr/bin/python3
"""cfbcheck must raise its alarms: a file written by zydb-storage passes, and each defect put
into a copy of it (one a case) is reported. A checker that never complains proves nothing.

  cfbcheck_selftest.py PATH-TO-zydb-storage
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cfbcheck  # noqa: E402
from cfbcheck import ENDOFCHAIN, NOSTREAM, RED, BLACK  # noqa: E402

TOOL = None


class File:
    """A compound file's bytes with the offsets a defect needs, found by the checker itself."""

    def __init__(self, data):
        self.data = bytearray(data)
        c = cfbcheck.Checker(bytes(data))
        c.run()
        self.c = c
        self.ss = c.ss

    def entry_offset(self, sid):
        per = self.ss // 128
        return (self.c.dir_sectors[sid // per] + 1) * self.ss + (sid % per) * 128

    def entry(self, name):
        return next(e for e in self.c.entries if e.name == name and e.type)

    def set_entry(self, sid, fmt, field_offset, value):
        struct.pack_into(fmt, self.data, self.entry_offset(sid) + field_offset, value)

    def fat_offset(self, sector):
        per = self.ss // 4
        return (self.c.fat_sectors[sector // per] + 1) * self.ss + (sector % per) * 4

    def set_fat(self, sector, value):
        struct.pack_into("<I", self.data, self.fat_offset(sector), value)


def top_of(f, storage_sid):
    return f.c.entries[storage_sid].child


def red_leaf(f):
    return next(e for e in f.c.entries if e.type == 2 and e.color == RED
                and e.left == NOSTREAM and e.right == NOSTREAM)


def rename_first(f):
    # "s10" is the smallest name of its length at the root; "~10" sorts after every other.
    f.set_entry(f.entry("s10").sid, "<H", 0, ord("~"))


def bigger_size(f):
    e = f.entry("big")
    f.set_entry(e.sid, "<Q", 120, e.size + 3 * f.ss)


def dirty_tail(f):
    e = f.entry("big")
    last = f.c.chain(e.start, "again", owner=[None] * f.c.nsect)[-1]
    f.data[(last + 1) * f.ss + e.size % f.ss] = 0x55


def leaked_sector(f):
    n = f.c.nsect
    f.data += bytes(f.ss)
    f.set_fat(n, ENDOFCHAIN)


def fat_beyond_end(f):
    f.set_fat(len(f.c.fat) - 1, ENDOFCHAIN)


def unused_entry_dirty(f):
    sid = next(e.sid for e in f.c.entries if e.type == 0)
    f.set_entry(sid, "<H", 0, ord("x"))


def all_red(f):
    for e in f.c.entries:
        if e.type in (1, 2):
            f.set_entry(e.sid, "<B", 67, RED)


def cycle(f):
    leaf = red_leaf(f)
    f.set_entry(leaf.sid, "<I", 68, top_of(f, 0))


# (what is broken, how, words of the report)
DEFECTS = [
    ("v3 directory sector count", lambda f: struct.pack_into("<I", f.data, 40, 1), "directory sectors"),
    ("minor version", lambda f: struct.pack_into("<H", f.data, 24, 0x3B), "minor version"),
    ("names out of order", rename_first, "is not ordered before"),
    ("red top node", lambda f: f.set_entry(top_of(f, 0), "<B", 67, RED), "is red"),
    ("red under red", all_red, "red parent"),
    ("unequal black heights", lambda f: f.set_entry(red_leaf(f).sid, "<B", 67, BLACK), "black heights"),
    ("sibling cycle", cycle, "reached twice"),
    ("storage cut off its tree", lambda f: f.set_entry(f.entry("Stor").sid, "<I", 76, NOSTREAM),
     "in no storage's tree"),
    ("FAT sector unmarked", lambda f: f.set_fat(f.c.fat_sectors[0], ENDOFCHAIN), "not FATSECT"),
    ("FAT entry past the end", fat_beyond_end, "beyond the end of the file"),
    ("sector leaked", leaked_sector, "belong to no chain"),
    ("size longer than the chain", bigger_size, "need"),
    ("stale bytes after a stream", dirty_tail, "are not zero"),
    ("file ends mid-sector", lambda f: f.data.extend(b"\0" * 10), "whole number"),
    ("unused entry not blank", unused_entry_dirty, "not blank"),
    ("stream with a time", lambda f: f.set_entry(f.entry("small").sid, "<Q", 108, 1), "stream with times"),
    ("stream with a child", lambda f: f.set_entry(f.entry("small").sid, "<I", 76, 1), "stream with a child"),
    ("empty stream not at ENDOFCHAIN", lambda f: f.set_entry(f.entry("empty").sid, "<I", 116, 0),
     "not ENDOFCHAIN"),
    ("mini FAT count", lambda f: struct.pack_into("<I", f.data, 64, 7), "mini FAT sectors"),
    ("forbidden character", lambda f: f.set_entry(f.entry("small").sid, "<H", 0, ord("!")),
     "forbidden character"),
]


class CfbcheckAlarms(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="zy-cfbcheck-")
        path = os.path.join(cls.dir, "good.cfb")

        def tool(*args, data=b""):
            subprocess.run([TOOL] + list(args), input=data, check=True)

        tool("new", "-3", path)
        tool("mkdir", path, "Stor")
        tool("put", path, "Stor/inner", data=b"i" * 300)
        # Twenty streams of equal name length make a tree several levels deep with red leaves.
        for i in range(10, 30):
            tool("put", path, "s%d" % i, data=bytes([i]) * i)
        tool("put", path, "big", data=b"B" * 5000)
        tool("put", path, "small", data=b"tiny")
        tool("put", path, "empty")
        with open(path, "rb") as f:
            cls.good = f.read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def test_a_good_file_passes(self):
        self.assertEqual(cfbcheck.Checker(self.good).run(), [])

    def test_each_defect_is_reported(self):
        for what, damage, words in DEFECTS:
            with self.subTest(what):
                f = File(self.good)
                damage(f)
                problems = cfbcheck.Checker(bytes(f.data)).run()
                self.assertTrue(any(words in p for p in problems), "%s: %s" % (what, problems))


if __name__ == "__main__":
    TOOL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
