#!/usr/bin/python3
"""cfbcheck: checks a compound file straight from its bytes, as strictly as we write them.

No tool we can run checks the sibling trees (search order, red-black rules) or sector accounting,
and a reader that is lenient by design hides a writer's slips; this one reports every rule the
file breaks, one line each, and exits 1 if there is any.

  cfbcheck.py FILE          check; print the problems
  cfbcheck.py --list FILE   also print the tree as a manifest (see manifest_line)
"""
import struct
import sys
import zlib

FREESECT, ENDOFCHAIN, FATSECT, DIFSECT = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFC
MAXREGSECT = 0xFFFFFFFA
NOSTREAM = 0xFFFFFFFF
SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
CUTOFF = 4096
MINI = 64
BLACK, RED = 1, 0
STORAGE, STREAM, ROOT = 1, 2, 5


def escape_name(name):
    """A name as paths show it: control characters and backslash as \\xHH (as zydb-storage)."""
    return "".join("\\x%02X" % ord(c) if ord(c) < 0x20 or c in "\\\x7f" else c for c in name)


def manifest_line(kind, path, data=None):
    """One element of a tree: 'D<TAB>-<TAB>-<TAB>path' for a storage,
    'S<TAB>size<TAB>crc32<TAB>path' for a stream. Every reader's view is reduced to this form."""
    if kind == "D":
        return "D\t-\t-\t%s" % path
    return "S\t%d\t%08x\t%s" % (len(data), zlib.crc32(data) & 0xFFFFFFFF, path)


def sort_key(name):
    """The format's sibling order: fewer UTF-16 units first, then unit by unit, upper-cased."""
    units = []
    raw = name.encode("utf-16-le", "surrogatepass")
    for i in range(0, len(raw), 2):
        u = raw[i] | raw[i + 1] << 8
        if not 0xD800 <= u <= 0xDFFF:
            up = chr(u).upper()
            if len(up) == 1 and ord(up) <= 0xFFFF:  # simple mappings only
                u = ord(up)
        units.append(u)
    return (len(units), units)


class Entry:
    def __init__(self, sid, raw, version):
        self.sid = sid
        self.raw = raw
        (self.name_len, self.type, self.color, self.left, self.right, self.child) = struct.unpack_from(
            "<HBBIII", raw, 64)
        self.clsid = raw[80:96]
        self.state, self.ctime, self.mtime, self.start = struct.unpack_from("<IQQI", raw, 96)
        self.size = struct.unpack_from("<Q", raw, 120)[0]
        self.size_high = self.size >> 32
        if version == 3:
            self.size &= 0xFFFFFFFF
        self.name = raw[:max(self.name_len - 2, 0)].decode("utf-16-le", "surrogatepass")


class Checker:
    def __init__(self, data):
        self.data = data
        self.problems = []
        self.manifest = []

    def bad(self, text):
        self.problems.append(text)

    # ---------------------------------------------------------------------------------------
    def run(self):
        try:
            self.header()
            self.fat_and_difat()
            self.directory()
            self.trees()
            self.streams()
            self.accounting()
        except Stop:
            pass
        return self.problems

    def header(self):
        d = self.data
        if len(d) < 512 or d[:8] != SIGNATURE:
            self.bad("not a compound file (signature)")
            raise Stop
        (minor, major, order, shift, mini_shift) = struct.unpack_from("<HHHHH", d, 24)
        (self.ndir, self.nfat, self.first_dir, txn, cutoff, self.first_minifat, self.nminifat,
         self.first_difat, self.ndifat) = struct.unpack_from("<IIIIIIIII", d, 40)
        if d[8:24] != bytes(16):
            self.bad("header CLSID is not zero")
        if minor != 0x3E:
            self.bad("minor version 0x%X, not 0x3E" % minor)
        if major not in (3, 4):
            self.bad("major version %d" % major)
            raise Stop
        self.version = major
        if order != 0xFFFE:
            self.bad("byte order 0x%X" % order)
        if shift != (9 if major == 3 else 12):
            self.bad("sector shift %d for version %d" % (shift, major))
            raise Stop
        self.ss = 1 << shift
        if mini_shift != 6:
            self.bad("mini sector shift %d" % mini_shift)
        if d[34:40] != bytes(6):
            self.bad("reserved header bytes are not zero")
        if txn != 0:
            self.bad("transaction signature %d" % txn)
        if cutoff != CUTOFF:
            self.bad("mini stream cutoff %d" % cutoff)
        if major == 3 and self.ndir != 0:
            self.bad("version 3 header counts %d directory sectors (must be 0)" % self.ndir)
        if major == 4 and d[512:4096] != bytes(len(d[512:4096])):
            self.bad("version 4 header sector is not zero after byte 512")
        if len(d) % self.ss != 0:
            self.bad("file length %d is not a whole number of %d-byte sectors" % (len(d), self.ss))
        self.nsect = len(d) // self.ss - 1
        if self.nsect < 2:
            self.bad("file holds %d sectors besides the header" % self.nsect)
            raise Stop
        self.owner = [None] * self.nsect  # what each sector holds, once known

    def sector(self, n):
        return self.data[(n + 1) * self.ss:(n + 2) * self.ss]

    def u32s(self, n):
        s = self.sector(n)
        return list(struct.unpack("<%dI" % (len(s) // 4), s))

    def own(self, n, what):
        if n >= self.nsect:
            self.bad("%s: sector %d lies beyond the end of the file (%d sectors)" % (what, n, self.nsect))
            return False
        if self.owner[n] is not None:
            self.bad("%s: sector %d already belongs to %s" % (what, n, self.owner[n]))
            return False
        self.owner[n] = what
        return True

    def fat_and_difat(self):
        d = self.data
        difat = list(struct.unpack_from("<109I", d, 76))
        per = self.ss // 4
        self.difat_sectors = []
        nxt = self.first_difat
        for i in range(self.ndifat):
            if nxt > MAXREGSECT or not self.own(nxt, "DIFAT"):
                self.bad("DIFAT chain breaks at its sector %d (0x%X)" % (i, nxt))
                raise Stop
            self.difat_sectors.append(nxt)
            vals = self.u32s(nxt)
            difat += vals[:per - 1]
            nxt = vals[per - 1]
        if nxt != ENDOFCHAIN:
            self.bad("DIFAT chain ends with 0x%X, not ENDOFCHAIN" % nxt)
        used = 0
        while used < len(difat) and difat[used] != FREESECT:
            used += 1
        if any(v != FREESECT for v in difat[used:]):
            self.bad("DIFAT has entries after its first FREESECT")
        if used != self.nfat:
            self.bad("header counts %d FAT sectors, DIFAT lists %d" % (self.nfat, used))
        needed_difat = max(0, -(-(used - 109) // (per - 1)))
        if self.ndifat != needed_difat:
            self.bad("%d DIFAT sectors where %d hold the FAT" % (self.ndifat, needed_difat))
        self.fat_sectors = difat[:used]
        fat = []
        for s in self.fat_sectors:
            if s > MAXREGSECT or not self.own(s, "FAT"):
                raise Stop
            fat += self.u32s(s)
        self.fat = fat
        if len(fat) < self.nsect:
            self.bad("FAT maps %d sectors, the file has %d" % (len(fat), self.nsect))
            raise Stop
        for s in self.fat_sectors:
            if fat[s] != FATSECT:
                self.bad("FAT sector %d is marked 0x%X, not FATSECT" % (s, fat[s]))
        for s in self.difat_sectors:
            if fat[s] != DIFSECT:
                self.bad("DIFAT sector %d is marked 0x%X, not DIFSECT" % (s, fat[s]))
        beyond = [i for i in range(self.nsect, len(fat)) if fat[i] != FREESECT]
        if beyond:
            self.bad("FAT entries beyond the end of the file are not FREESECT: %s" % beyond[:8])

    def chain(self, start, what, table=None, limit=None, owner=None):
        """Follows a chain, claiming each sector for what; returns the sector list."""
        table = self.fat if table is None else table
        limit = self.nsect if limit is None else limit
        owner = self.owner if owner is None else owner
        out = []
        s = start
        while s != ENDOFCHAIN:
            if s > MAXREGSECT or s >= limit or s >= len(table):
                self.bad("%s: chain holds 0x%X after %d sectors" % (what, s, len(out)))
                break
            if owner[s] is not None:
                self.bad("%s: sector %d already belongs to %s" % (what, s, owner[s]))
                break
            owner[s] = what
            out.append(s)
            s = table[s]
        return out

    def directory(self):
        self.dir_sectors = dchain = self.chain(self.first_dir, "directory")
        if self.version == 4 and self.ndir != len(dchain):
            self.bad("header counts %d directory sectors, the chain has %d" % (self.ndir, len(dchain)))
        raw = b"".join(self.sector(s) for s in dchain)
        self.entries = [Entry(i, raw[i * 128:(i + 1) * 128], self.version) for i in range(len(raw) // 128)]
        if not self.entries:
            self.bad("directory is empty")
            raise Stop
        for e in self.entries:
            self.entry_fields(e)
        root = self.entries[0]
        if root.type != ROOT:
            self.bad("entry 0 has type %d, not root" % root.type)
            raise Stop
        # Mini FAT and the mini stream.
        mchain = self.chain(self.first_minifat, "mini FAT")
        if len(mchain) != self.nminifat:
            self.bad("header counts %d mini FAT sectors, the chain has %d" % (self.nminifat, len(mchain)))
        self.minifat = []
        for s in mchain:
            self.minifat += self.u32s(s)
        if root.size == 0:
            if root.start != ENDOFCHAIN:
                self.bad("root: empty mini stream starts at 0x%X, not ENDOFCHAIN" % root.start)
            self.ministream_sectors = []
        else:
            self.ministream_sectors = self.chain(root.start, "mini stream")
            self.chain_length("mini stream", len(self.ministream_sectors), root.size, self.ss)
        self.ministream = b"".join(self.sector(s) for s in self.ministream_sectors)[:root.size]
        self.nmini = root.size // MINI
        self.mini_owner = [None] * len(self.minifat)

    def entry_fields(self, e):
        where = "entry %d (%r)" % (e.sid, e.name)
        if e.type == 0:
            blank = bytearray(128)
            struct.pack_into("<III", blank, 68, NOSTREAM, NOSTREAM, NOSTREAM)
            if e.raw != bytes(blank):
                self.bad("unused entry %d is not blank" % e.sid)
            return
        if e.type not in (STORAGE, STREAM, ROOT) or (e.type == ROOT) != (e.sid == 0):
            self.bad("%s: type %d" % (where, e.type))
        if e.color not in (RED, BLACK):
            self.bad("%s: colour %d" % (where, e.color))
        if e.name_len < 2 or e.name_len > 64 or e.name_len % 2:
            self.bad("%s: name length %d" % (where, e.name_len))
        else:
            units = struct.unpack_from("<%dH" % (e.name_len // 2), e.raw, 0)
            if units[-1] != 0 or 0 in units[:-1]:
                self.bad("%s: name is not terminated exactly at its length" % where)
            if any(u != 0 for u in struct.unpack_from("<%dH" % (32 - e.name_len // 2), e.raw, e.name_len)):
                self.bad("%s: bytes after the name are not zero" % where)
        if e.sid != 0 and any(c in e.name for c in "/\\:!"):
            self.bad("%s: name holds a forbidden character" % where)
        if e.type == STREAM:
            if e.child != NOSTREAM:
                self.bad("%s: stream with a child" % where)
            if e.clsid != bytes(16) or e.state != 0:
                self.bad("%s: stream with a class id or state bits" % where)
            if e.ctime or e.mtime:
                self.bad("%s: stream with times" % where)
        if self.version == 3 and e.size_high:
            self.bad("%s: version 3 size has a high DWORD" % where)
        if e.type == STORAGE and (e.start != 0 or e.size != 0):
            self.bad("%s: storage with starting sector 0x%X, size %d" % (where, e.start, e.size))
        if e.type == ROOT:
            if e.left != NOSTREAM or e.right != NOSTREAM:
                self.bad("root has siblings")
            if e.ctime:
                self.bad("root has a creation time")
            if e.name != "Root Entry":
                self.bad("root is named %r" % e.name)

    def chain_length(self, what, have, size, unit):
        want = -(-size // unit)
        if have != want:
            self.bad("%s: %d bytes need %d sectors of %d, the chain has %d" % (what, size, want, unit, have))

    # ---------------------------------------------------------------------------------------
    def trees(self):
        """Walks every storage's sibling tree from the root; every used entry must be met once."""
        self.seen = [False] * len(self.entries)
        self.seen[0] = True
        self.elements = []  # (entry, path)
        self.walk_storage(self.entries[0], "")
        for e in self.entries:
            if e.type != 0 and not self.seen[e.sid]:
                self.bad("entry %d (%r) is in use but in no storage's tree" % (e.sid, e.name))

    def walk_storage(self, storage, path):
        where = path or "root"
        if storage.child == NOSTREAM:
            return
        nodes = []  # in-order
        black_heights = set()
        # Iterative in-order walk, tracking the black count and the colour of the parent.
        stack = []
        sid, blacks, parent_red = storage.child, 0, False
        top = self.entry_at(sid, where)
        if top is None:
            return
        if top.color != BLACK:
            self.bad("%s: top of the sibling tree (%r) is red" % (where, top.name))
        while stack or sid != NOSTREAM:
            if sid != NOSTREAM:
                e = self.entry_at(sid, where)
                if e is None:
                    sid = NOSTREAM
                    black_heights.add(-1)
                    continue
                if self.seen[sid]:
                    self.bad("%s: entry %d is reached twice (a cycle or shared subtree)" % (where, sid))
                    sid = NOSTREAM
                    continue
                self.seen[sid] = True
                if e.type not in (STORAGE, STREAM):
                    self.bad("%s: tree reaches entry %d of type %d" % (where, sid, e.type))
                red = e.color == RED
                if red and parent_red:
                    self.bad("%s: red %r has a red parent" % (where, e.name))
                b = blacks + (0 if red else 1)
                if e.left == NOSTREAM:
                    black_heights.add(b)
                if e.right == NOSTREAM:
                    black_heights.add(b)
                stack.append((e, b, red))
                sid, blacks, parent_red = e.left, b, red
            else:
                e, b, red = stack.pop()
                nodes.append(e)
                sid, blacks, parent_red = e.right, b, red
        if len(black_heights) > 1:
            self.bad("%s: unequal black heights %s" % (where, sorted(black_heights)))
        for a, b in zip(nodes, nodes[1:]):
            if not sort_key(a.name) < sort_key(b.name):
                self.bad("%s: %r is not ordered before %r" % (where, a.name, b.name))
        for e in nodes:
            child_path = (path + "/" if path else "") + escape_name(e.name)
            self.elements.append((e, child_path))
            if e.type == STORAGE:
                self.walk_storage(e, child_path)

    def entry_at(self, sid, where):
        if sid >= len(self.entries):
            self.bad("%s: sibling id %d is beyond the directory (%d entries)" % (where, sid, len(self.entries)))
            return None
        return self.entries[sid]

    # ---------------------------------------------------------------------------------------
    def streams(self):
        for e, path in self.elements:
            if e.type == STORAGE:
                self.manifest.append(manifest_line("D", path))
                continue
            if e.type != STREAM:
                continue
            if e.size == 0:
                if e.start != ENDOFCHAIN:
                    self.bad("%s: empty stream starts at 0x%X, not ENDOFCHAIN" % (path, e.start))
                content = b""
            elif e.size < CUTOFF:
                secs = self.chain(e.start, path, self.minifat, self.nmini, self.mini_owner)
                self.chain_length(path, len(secs), e.size, MINI)
                raw = b"".join(self.ministream[m * MINI:(m + 1) * MINI] for m in secs)
                content = raw[:e.size]
                if any(raw[e.size:]):
                    self.bad("%s: bytes after the end of the stream in its last mini sector are not zero" % path)
            else:
                secs = self.chain(e.start, path)
                self.chain_length(path, len(secs), e.size, self.ss)
                raw = b"".join(self.sector(s) for s in secs)
                content = raw[:e.size]
                if any(raw[e.size:]):
                    self.bad("%s: bytes after the end of the stream in its last sector are not zero" % path)
            self.manifest.append(manifest_line("S", path, content))

    def accounting(self):
        """Every sector is in some chain or free; nothing leaks."""
        leaked = [s for s in range(self.nsect) if self.owner[s] is None and self.fat[s] != FREESECT]
        if leaked:
            self.bad("%d sectors are marked in use but belong to no chain: %s" % (len(leaked), leaked[:8]))
        mleaked = [m for m in range(len(self.minifat))
                   if self.mini_owner[m] is None and self.minifat[m] != FREESECT]
        if mleaked:
            self.bad("%d mini sectors are marked in use but belong to no stream: %s" % (len(mleaked), mleaked[:8]))
        used_mini = [m for m in range(len(self.minifat)) if self.mini_owner[m] is not None]
        if used_mini and self.entries[0].size < (max(used_mini) + 1) * MINI:
            self.bad("mini stream is %d bytes, its sectors reach %d" % (self.entries[0].size, (max(used_mini) + 1) * MINI))


class Stop(Exception):
    """The file is too broken to look further."""


def check(path):
    with open(path, "rb") as f:
        checker = Checker(f.read())
    checker.run()
    return checker


def main(argv):
    listing = "--list" in argv
    args = [a for a in argv if a != "--list"]
    if len(args) != 1:
        sys.stderr.write(__doc__)
        return 2
    checker = check(args[0])
    if listing:
        for line in sorted(checker.manifest, key=lambda l: l.split("\t", 3)[3]):
            print(line)
    for p in checker.problems:
        print("cfbcheck: %s: %s" % (args[0], p), file=sys.stderr)
    return 1 if checker.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
