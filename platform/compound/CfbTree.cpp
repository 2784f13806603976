// The directory side of the compound-file service: directory entries, the sibling tree of each
// storage (a red-black tree ordered by name length, then upper-cased name) and the name index
// that lets a lookup skip the tree walk.
//
// Tree changes are made in memory with the textbook insert and erase fix-ups, then written so
// that the tree in the file is whole at every instant: a rotation changes three sibling pointers
// in three entries, which no order of single writes can do safely. So every entry whose pointers
// change (and the entries on the way down to it) is first copied to a free entry with its new
// pointers; one write of the entry above them all then switches the file to the new shape, and
// the old entries are freed after it (see Materialize). Colour-only changes are written in place:
// colours never decide what a reader finds.
#include <algorithm>
#include <ctime>
#include <functional>

#include "platform/compound/CfbFile.h"

namespace zycfb {
namespace detail {

using namespace cfb;

namespace {

FileTime Now() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return uint64_t(ts.tv_sec) * 10000000ull + uint64_t(ts.tv_nsec) / 100 + 116444736000000000ull;
}

bool Contains(const std::vector<uint32_t>& v, uint32_t x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entries

void CfbFile::Decode(const uint8_t* raw, DirEntry* e) const {
  e->nameLength = Get16(raw + ent::kNameLength);
  size_t units = std::min<size_t>(e->nameLength / 2, 32);
  if (units > 0) --units;  // the terminator
  e->name.clear();
  for (size_t i = 0; i < units; ++i) {
    char16_t c = char16_t(Get16(raw + ent::kName + 2 * i));
    if (c == 0) break;
    e->name.push_back(c);
  }
  e->type = raw[ent::kType];
  e->color = raw[ent::kColor];
  e->left = Get32(raw + ent::kLeft);
  e->right = Get32(raw + ent::kRight);
  e->child = Get32(raw + ent::kChild);
  std::memcpy(e->clsid, raw + ent::kClsid, sizeof e->clsid);
  e->stateBits = Get32(raw + ent::kStateBits);
  e->creationTime = Get64(raw + ent::kCreationTime);
  e->modifiedTime = Get64(raw + ent::kModifiedTime);
  e->start = Get32(raw + ent::kStart);
  e->size = Get64(raw + ent::kSize);
}

void CfbFile::Encode(const DirEntry& e, uint8_t* raw) const {
  std::memset(raw, 0, kDirEntrySize);
  Put32(raw + ent::kLeft, NOSTREAM);
  Put32(raw + ent::kRight, NOSTREAM);
  Put32(raw + ent::kChild, NOSTREAM);
  if (e.type == kTypeEmpty) return;  // a free entry: zeros and three NOSTREAM pointers
  size_t units = std::min<size_t>(e.name.size(), kMaxNameUnits);
  for (size_t i = 0; i < units; ++i) Put16(raw + ent::kName + 2 * i, e.name[i]);
  Put16(raw + ent::kNameLength, uint16_t((units + 1) * 2));
  raw[ent::kType] = e.type;
  raw[ent::kColor] = e.color;
  Put32(raw + ent::kLeft, e.left);
  Put32(raw + ent::kRight, e.right);
  Put32(raw + ent::kChild, e.type == kTypeStream ? NOSTREAM : e.child);
  // Other writers leave times and class ids on streams, or sectors on storages; whatever entry
  // this service writes is written as the format has it.
  if (e.type == kTypeStream) {
    Put32(raw + ent::kStart, e.start);
    Put64(raw + ent::kSize, version_ == 3 ? (e.size & 0xFFFFFFFFull) : e.size);
    return;
  }
  std::memcpy(raw + ent::kClsid, e.clsid, sizeof e.clsid);
  Put32(raw + ent::kStateBits, e.stateBits);
  Put64(raw + ent::kModifiedTime, e.modifiedTime);
  if (e.type == kTypeStorage) {
    Put64(raw + ent::kCreationTime, e.creationTime);
    return;
  }
  Put32(raw + ent::kStart, e.start);  // the root: its stream is the mini stream
  Put64(raw + ent::kSize, version_ == 3 ? (e.size & 0xFFFFFFFFull) : e.size);
}

Result CfbFile::WriteEntry(uint32_t sid) {
  uint8_t raw[kDirEntrySize];
  Encode(dir_[sid], raw);
  return WriteAt(raw, kDirEntrySize, EntryOffset(sid));
}

void CfbFile::ClearEntry(uint32_t sid) {
  dir_[sid] = DirEntry();
  parent_[sid] = NOSTREAM;
  inTree_[sid] = 0;
}

Result CfbFile::AllocEntry(uint32_t* sid) {
  if (freeEntries_.empty()) {
    Result r = GrowDirectory();
    if (r != S_OK) return r;
  }
  *sid = freeEntries_.back();
  freeEntries_.pop_back();
  return S_OK;
}

// A new directory sector is written full of free entries before the FAT links it to the end of
// the directory chain.
Result CfbFile::GrowDirectory() {
  const uint32_t per = sectorSize_ / kDirEntrySize;
  if (dir_.size() + per > uint64_t(MAXREGSID) + 1) return STG_E_DOCFILETOOLARGE;
  uint32_t s;
  Result r = AllocSector(dirSectors_.back(), &s);
  if (r != S_OK) return (broken_ = r);
  std::vector<uint8_t> buf(sectorSize_);
  DirEntry empty;
  for (uint32_t i = 0; i < per; ++i) Encode(empty, &buf[size_t(i) * kDirEntrySize]);
  r = WriteAt(buf.data(), sectorSize_, SectorOffset(s));
  if (r != S_OK) return r;
  FatLink(dirSectors_.back(), s);
  dirSectors_.push_back(s);
  if (version_ == 4) headerDirty_ = true;  // the header counts directory sectors
  r = FlushFat();
  if (r != S_OK) return r;
  const uint32_t base = uint32_t(dir_.size());
  dir_.resize(base + per);
  parent_.resize(dir_.size(), NOSTREAM);
  inTree_.resize(dir_.size(), 0);
  for (uint32_t i = per; i-- > 0;) freeEntries_.push_back(base + i);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Open elements

Result CfbFile::Acquire(uint32_t sid, ElementState* state) {
  if (open_.count(sid)) return STG_E_ACCESSDENIED;
  state->sid = sid;
  open_[sid] = state;
  return S_OK;
}

void CfbFile::Release(ElementState* state) {
  auto it = open_.find(state->sid);
  if (it != open_.end() && it->second == state) open_.erase(it);
}

// ---------------------------------------------------------------------------------------------
// Reading trees

Result CfbFile::LoadTree(uint32_t storage) {
  if (trees_.count(storage)) return S_OK;
  auto index = std::make_unique<ChildIndex>();
  std::vector<uint32_t> stack, walked;
  auto fail = [&]() {
    for (uint32_t w : walked) {
      inTree_[w] = 0;
      parent_[w] = NOSTREAM;
    }
    return STG_E_DOCFILECORRUPT;
  };
  const uint32_t top = dir_[storage].child;
  if (top != NOSTREAM) {
    if (top >= dir_.size()) return STG_E_DOCFILECORRUPT;
    parent_[top] = NOSTREAM;
    stack.push_back(top);
  }
  // Every entry may be met once only, in one tree: that bounds the walk and catches cycles and
  // entries shared between trees.
  while (!stack.empty()) {
    const uint32_t n = stack.back();
    stack.pop_back();
    const DirEntry& e = dir_[n];
    if (inTree_[n] || (e.type != kTypeStorage && e.type != kTypeStream) || e.name.empty() ||
        e.nameLength > 64 || (e.nameLength & 1))
      return fail();
    inTree_[n] = 1;
    walked.push_back(n);
    index->byName.emplace(UpperName(e.name), n);
    for (uint32_t c : {e.left, e.right}) {
      if (c == NOSTREAM) continue;
      if (c >= dir_.size() || inTree_[c]) return fail();
      parent_[c] = n;
      stack.push_back(c);
    }
  }
  index->valid = CheckTree(storage);
  trees_[storage] = std::move(index);
  return S_OK;
}

// Whether a loaded tree is a red-black tree in sibling order. Trees from other writers may be
// all-black chains, mis-ordered or mis-coloured; they are rebuilt before their first change.
bool CfbFile::CheckTree(uint32_t storage) const {
  const uint32_t top = dir_[storage].child;
  if (top == NOSTREAM) return true;
  if (dir_[top].color != kBlack) return false;
  struct Item {
    uint32_t node;
    int blacks;
  };
  std::vector<Item> stack{{top, 0}};
  int leafBlacks = -1;
  while (!stack.empty()) {
    const Item it = stack.back();
    stack.pop_back();
    const DirEntry& e = dir_[it.node];
    if (e.color > kBlack) return false;
    const int blacks = it.blacks + (e.color == kBlack ? 1 : 0);
    for (uint32_t c : {e.left, e.right}) {
      if (c == NOSTREAM) {
        if (leafBlacks < 0) leafBlacks = blacks;
        if (leafBlacks != blacks) return false;
      } else {
        if (e.color == kRed && dir_[c].color == kRed) return false;
        stack.push_back({c, blacks});
      }
    }
  }
  // In order, every name must be larger than the one before.
  const DirEntry* prev = nullptr;
  uint32_t n = top;
  std::vector<uint32_t> path;
  while (n != NOSTREAM || !path.empty()) {
    while (n != NOSTREAM) {
      path.push_back(n);
      n = dir_[n].left;
    }
    n = path.back();
    path.pop_back();
    if (prev && CompareNames(prev->name, dir_[n].name) >= 0) return false;
    prev = &dir_[n];
    n = dir_[n].right;
  }
  return true;
}

// Replaces a storage's tree by a balanced one: the children sorted, the middle one on top of
// each subtree, the deepest level red and all else black, which meets every red-black rule. The
// new tree is written into fresh entries and switched in by one write of the storage's entry.
Result CfbFile::RebuildTree(uint32_t storage) {
  ChildIndex& index = *trees_.at(storage);
  std::vector<uint32_t> nodes;
  std::vector<uint32_t> path;
  for (uint32_t n = dir_[storage].child; n != NOSTREAM || !path.empty();) {
    while (n != NOSTREAM) {
      path.push_back(n);
      n = dir_[n].left;
    }
    n = path.back();
    path.pop_back();
    nodes.push_back(n);
    n = dir_[n].right;
  }
  std::stable_sort(nodes.begin(), nodes.end(), [this](uint32_t a, uint32_t b) { return Less(a, b); });
  std::vector<uint32_t> fresh(nodes.size());
  for (uint32_t& f : fresh) {
    Result r = AllocEntry(&f);
    if (r != S_OK) return (broken_ = r);
  }
  int deepest = 0;
  std::vector<int> depth(nodes.size(), 0);
  // Builds [lo, hi) under `parent`; returns its top.
  std::function<uint32_t(size_t, size_t, uint32_t, int)> build = [&](size_t lo, size_t hi,
                                                                      uint32_t parent, int d) {
    if (lo >= hi) return NOSTREAM;
    const size_t mid = lo + (hi - lo) / 2;
    const uint32_t f = fresh[mid];
    dir_[f] = dir_[nodes[mid]];
    parent_[f] = parent;
    inTree_[f] = 1;
    depth[mid] = d;
    deepest = std::max(deepest, d);
    dir_[f].left = build(lo, mid, f, d + 1);
    dir_[f].right = build(mid + 1, hi, f, d + 1);
    return f;
  };
  const uint32_t top = build(0, nodes.size(), NOSTREAM, 0);
  for (size_t i = 0; i < nodes.size(); ++i)
    dir_[fresh[i]].color = deepest > 0 && depth[i] == deepest ? kRed : kBlack;
  for (size_t i = 0; i < nodes.size(); ++i) Relocate(storage, nodes[i], fresh[i]);
  Result r = S_OK;
  for (uint32_t f : fresh)
    if (r == S_OK) r = WriteEntry(f);
  dir_[storage].child = top;
  if (r == S_OK) r = WriteEntry(storage);  // the switch
  for (uint32_t n : nodes) {
    ClearEntry(n);
    if (r == S_OK) r = WriteEntry(n);
    freeEntries_.push_back(n);
  }
  if (r == S_OK) index.valid = true;
  return r;
}

Result CfbFile::Find(uint32_t storage, const std::u16string& name, uint32_t* sid) const {
  const ChildIndex& index = *trees_.at(storage);
  auto it = index.byName.find(UpperName(name));
  if (it == index.byName.end()) return STG_E_FILENOTFOUND;
  *sid = it->second;
  return S_OK;
}

Result CfbFile::List(uint32_t storage, std::vector<ElementStat>* out) const {
  out->clear();
  out->reserve(trees_.at(storage)->byName.size());
  std::vector<uint32_t> stack;
  uint32_t n = dir_[storage].child;
  while (n != NOSTREAM || !stack.empty()) {
    while (n != NOSTREAM) {
      stack.push_back(n);
      n = dir_[n].left;
    }
    n = stack.back();
    stack.pop_back();
    const DirEntry& e = dir_[n];
    ElementStat s;
    s.name = e.name;
    s.type = e.type;
    s.size = e.type == kTypeStream ? EntrySize(n) : 0;
    s.creationTime = e.creationTime;
    s.modificationTime = e.modifiedTime;
    out->push_back(std::move(s));
    n = e.right;
  }
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Red-black tree operations, in memory, journalled into txn_

bool CfbFile::Less(uint32_t a, uint32_t b) const {
  return CompareNames(dir_[a].name, dir_[b].name) < 0;
}

void CfbFile::Touch(uint32_t n) {
  if (Contains(txn_->fresh, n)) return;
  for (const TreeTxn::Saved& s : txn_->saved)
    if (s.sid == n) return;
  const DirEntry& e = dir_[n];
  txn_->saved.push_back({n, e.left, e.right, e.color});
}

void CfbFile::SetLeft(uint32_t n, uint32_t v) {
  Touch(n);
  dir_[n].left = v;
}

void CfbFile::SetRight(uint32_t n, uint32_t v) {
  Touch(n);
  dir_[n].right = v;
}

void CfbFile::SetColor(uint32_t n, uint8_t c) {
  if (dir_[n].color == c) return;
  Touch(n);
  dir_[n].color = c;
}

void CfbFile::SetTop(uint32_t v) { dir_[txn_->storage].child = v; }

void CfbFile::Replace(uint32_t parent, uint32_t oldChild, uint32_t newChild) {
  if (parent == NOSTREAM)
    SetTop(newChild);
  else if (dir_[parent].left == oldChild)
    SetLeft(parent, newChild);
  else
    SetRight(parent, newChild);
}

void CfbFile::RotateLeft(uint32_t x) {
  const uint32_t y = dir_[x].right;
  const uint32_t b = dir_[y].left;
  SetRight(x, b);
  if (b != NOSTREAM) parent_[b] = x;
  const uint32_t p = parent_[x];
  parent_[y] = p;
  Replace(p, x, y);
  SetLeft(y, x);
  parent_[x] = y;
}

void CfbFile::RotateRight(uint32_t x) {
  const uint32_t y = dir_[x].left;
  const uint32_t b = dir_[y].right;
  SetLeft(x, b);
  if (b != NOSTREAM) parent_[b] = x;
  const uint32_t p = parent_[x];
  parent_[y] = p;
  Replace(p, x, y);
  SetRight(y, x);
  parent_[x] = y;
}

void CfbFile::RbInsert(uint32_t z) {
  uint32_t y = NOSTREAM, x = Top();
  bool goLeft = false;
  while (x != NOSTREAM) {
    y = x;
    goLeft = Less(z, x);
    x = goLeft ? dir_[x].left : dir_[x].right;
  }
  parent_[z] = y;
  dir_[z].left = dir_[z].right = NOSTREAM;
  dir_[z].color = kRed;
  if (y == NOSTREAM)
    SetTop(z);
  else if (goLeft)
    SetLeft(y, z);
  else
    SetRight(y, z);
  // Trees written by other programs may break the colour rules; the fix-up then stops where a
  // node it needs is missing, leaving a correct search tree.
  for (;;) {
    uint32_t p = parent_[z];
    if (p == NOSTREAM || !IsRed(p)) break;
    const uint32_t g = parent_[p];
    if (g == NOSTREAM) break;
    if (p == dir_[g].left) {
      const uint32_t u = dir_[g].right;
      if (IsRed(u)) {
        SetColor(p, kBlack);
        SetColor(u, kBlack);
        SetColor(g, kRed);
        z = g;
        continue;
      }
      if (z == dir_[p].right) {
        z = p;
        RotateLeft(z);
        p = parent_[z];
      }
      SetColor(p, kBlack);
      SetColor(g, kRed);
      RotateRight(g);
    } else {
      const uint32_t u = dir_[g].left;
      if (IsRed(u)) {
        SetColor(p, kBlack);
        SetColor(u, kBlack);
        SetColor(g, kRed);
        z = g;
        continue;
      }
      if (z == dir_[p].left) {
        z = p;
        RotateRight(z);
        p = parent_[z];
      }
      SetColor(p, kBlack);
      SetColor(g, kRed);
      RotateLeft(g);
    }
    break;
  }
  if (IsRed(Top())) SetColor(Top(), kBlack);
}

void CfbFile::RbErase(uint32_t z) {
  auto transplant = [&](uint32_t u, uint32_t v) {
    const uint32_t p = parent_[u];
    Replace(p, u, v);
    if (v != NOSTREAM) parent_[v] = p;
  };
  uint32_t y = z, x, xParent;
  uint8_t yColor = dir_[y].color;
  if (dir_[z].left == NOSTREAM) {
    x = dir_[z].right;
    xParent = parent_[z];
    transplant(z, x);
  } else if (dir_[z].right == NOSTREAM) {
    x = dir_[z].left;
    xParent = parent_[z];
    transplant(z, x);
  } else {
    y = dir_[z].right;
    while (dir_[y].left != NOSTREAM) y = dir_[y].left;
    yColor = dir_[y].color;
    x = dir_[y].right;
    if (parent_[y] == z) {
      xParent = y;
    } else {
      xParent = parent_[y];
      transplant(y, x);
      SetRight(y, dir_[z].right);
      parent_[dir_[y].right] = y;
    }
    transplant(z, y);
    SetLeft(y, dir_[z].left);
    parent_[dir_[y].left] = y;
    SetColor(y, dir_[z].color);
  }
  parent_[z] = NOSTREAM;
  if (yColor == kBlack) EraseFixup(x, xParent);
}

void CfbFile::EraseFixup(uint32_t x, uint32_t xp) {
  while (x != Top() && !IsRed(x) && xp != NOSTREAM) {
    if (x == dir_[xp].left) {
      uint32_t w = dir_[xp].right;
      if (w == NOSTREAM) break;  // only in trees that broke the colour rules already
      if (IsRed(w)) {
        SetColor(w, kBlack);
        SetColor(xp, kRed);
        RotateLeft(xp);
        w = dir_[xp].right;
        if (w == NOSTREAM) break;
      }
      if (!IsRed(dir_[w].left) && !IsRed(dir_[w].right)) {
        SetColor(w, kRed);
        x = xp;
        xp = parent_[x];
      } else {
        if (!IsRed(dir_[w].right)) {
          SetColor(dir_[w].left, kBlack);
          SetColor(w, kRed);
          RotateRight(w);
          w = dir_[xp].right;
        }
        SetColor(w, dir_[xp].color);
        SetColor(xp, kBlack);
        if (dir_[w].right != NOSTREAM) SetColor(dir_[w].right, kBlack);
        RotateLeft(xp);
        x = Top();
        break;
      }
    } else {
      uint32_t w = dir_[xp].left;
      if (w == NOSTREAM) break;
      if (IsRed(w)) {
        SetColor(w, kBlack);
        SetColor(xp, kRed);
        RotateRight(xp);
        w = dir_[xp].left;
        if (w == NOSTREAM) break;
      }
      if (!IsRed(dir_[w].left) && !IsRed(dir_[w].right)) {
        SetColor(w, kRed);
        x = xp;
        xp = parent_[x];
      } else {
        if (!IsRed(dir_[w].left)) {
          SetColor(dir_[w].right, kBlack);
          SetColor(w, kRed);
          RotateLeft(w);
          w = dir_[xp].left;
        }
        SetColor(w, dir_[xp].color);
        SetColor(xp, kBlack);
        if (dir_[w].left != NOSTREAM) SetColor(dir_[w].left, kBlack);
        RotateRight(xp);
        x = Top();
        break;
      }
    }
  }
  if (x != NOSTREAM) SetColor(x, kBlack);
}

// ---------------------------------------------------------------------------------------------
// Writing tree changes

void CfbFile::Relocate(uint32_t storage, uint32_t from, uint32_t to) {
  trees_.at(storage)->byName[UpperName(dir_[to].name)] = to;
  auto o = open_.find(from);
  if (o != open_.end()) {
    ElementState* state = o->second;
    open_.erase(o);
    state->sid = to;
    open_[to] = state;
  }
  auto t = trees_.find(from);
  if (t != trees_.end()) {
    std::unique_ptr<ChildIndex> index = std::move(t->second);
    trees_.erase(t);
    trees_[to] = std::move(index);
  }
}

// Makes the in-memory result of one tree operation the file's, with one switching write:
//   - C: entries already in the file whose left/right pointers changed (plus the storage's
//     child pointer, standing for the place above the top of the tree);
//   - S: the lowest point above or at every member of C; its own incoming pointer is unchanged;
//   - every entry of C other than S, and every entry between it and S, is copied to a free
//     entry. New entries and copies are written first (nothing in the file points at them),
//     then S, which switches the whole subtree at once, then the old entries are freed, then
//     colour-only changes are written in place.
// With a single changed entry, S is that entry and nothing is copied.
Result CfbFile::Materialize(TreeTxn& txn) {
  const uint32_t storage = txn.storage;
  std::vector<uint32_t> changed;
  for (const TreeTxn::Saved& s : txn.saved) {
    if (Contains(txn.removed, s.sid)) continue;
    const DirEntry& e = dir_[s.sid];
    if (e.left != s.left || e.right != s.right) changed.push_back(s.sid);
  }
  const bool topChanged = dir_[storage].child != txn.oldTop;
  // Is `a` (an entry, or the storage for the place above the top) at or above n?
  auto above = [&](uint32_t a, uint32_t n) {
    for (; n != NOSTREAM; n = parent_[n])
      if (n == a) return true;
    return a == storage;
  };
  uint32_t sw = NOSTREAM;
  if (topChanged) {
    sw = storage;
  } else if (!changed.empty()) {
    for (uint32_t a = changed[0];; a = parent_[a]) {
      if (a == NOSTREAM) {
        sw = storage;
        break;
      }
      bool all = true;
      for (uint32_t c : changed) all = all && above(a, c);
      if (all) {
        sw = a;
        break;
      }
    }
  }
  std::vector<uint32_t> copies;
  for (uint32_t c : changed)
    for (uint32_t n = c; n != NOSTREAM && n != sw; n = parent_[n])
      if (!Contains(txn.fresh, n) && !Contains(copies, n)) copies.push_back(n);

  std::vector<std::pair<uint32_t, uint32_t>> moves;
  for (uint32_t n : copies) {
    uint32_t m;
    Result r = AllocEntry(&m);
    if (r != S_OK) return (broken_ = r);
    moves.emplace_back(n, m);
  }
  auto remap = [&](uint32_t v) {
    for (const auto& mv : moves)
      if (mv.first == v) return mv.second;
    return v;
  };
  for (const auto& mv : moves) {
    dir_[mv.second] = dir_[mv.first];
    parent_[mv.second] = parent_[mv.first];
    inTree_[mv.second] = 1;
  }
  std::vector<uint32_t> rewire(txn.fresh);
  for (const auto& mv : moves) rewire.push_back(mv.second);
  for (uint32_t n : rewire) {
    dir_[n].left = remap(dir_[n].left);
    dir_[n].right = remap(dir_[n].right);
    parent_[n] = remap(parent_[n]);
  }
  if (sw != storage && sw != NOSTREAM) {
    dir_[sw].left = remap(dir_[sw].left);
    dir_[sw].right = remap(dir_[sw].right);
  }
  dir_[storage].child = remap(dir_[storage].child);
  for (uint32_t n : rewire)
    for (uint32_t c : {dir_[n].left, dir_[n].right})
      if (c != NOSTREAM) parent_[c] = n;
  for (const auto& mv : moves) Relocate(storage, mv.first, mv.second);

  Result r = S_OK;
  for (uint32_t n : rewire)
    if (r == S_OK) r = WriteEntry(n);
  if (r == S_OK && sw != NOSTREAM) r = WriteEntry(sw);  // the switch
  std::vector<uint32_t> freed(txn.removed);
  for (const auto& mv : moves) freed.push_back(mv.first);
  for (uint32_t n : freed) {
    ClearEntry(n);
    if (r == S_OK) r = WriteEntry(n);
    freeEntries_.push_back(n);
  }
  for (const TreeTxn::Saved& s : txn.saved) {
    const uint32_t n = s.sid;
    if (r != S_OK) break;
    if (n == sw || Contains(freed, n) || Contains(copies, n)) continue;
    if (dir_[n].color != s.color) r = WriteEntry(n);
  }
  return r;
}

Result CfbFile::CollectSubtree(uint32_t sid, std::vector<uint32_t>* nodes) const {
  nodes->assign(1, sid);
  if (open_.count(sid)) return STG_E_ACCESSDENIED;
  if (dir_[sid].type != kTypeStorage) return S_OK;
  std::vector<uint8_t> seen(dir_.size(), 0);
  seen[sid] = 1;
  std::vector<uint32_t> stack{dir_[sid].child};
  while (!stack.empty()) {
    const uint32_t n = stack.back();
    stack.pop_back();
    if (n >= dir_.size() || seen[n]) continue;
    seen[n] = 1;
    const DirEntry& e = dir_[n];
    if (e.type != kTypeStorage && e.type != kTypeStream) continue;
    if (open_.count(n)) return STG_E_ACCESSDENIED;
    nodes->push_back(n);
    stack.push_back(e.left);
    stack.push_back(e.right);
    if (e.type == kTypeStorage) stack.push_back(e.child);
  }
  return S_OK;
}

// Frees what a replaced element held, once nothing in the file reaches it any more: the chains
// of its streams and the entries below it (its own entry went with the tree switch).
Result CfbFile::DropSubtree(const std::vector<uint32_t>& nodes, const std::vector<DirEntry>& saved) {
  Result r = S_OK;
  bool anyMini = false;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const DirEntry& e = saved[i];
    if (e.type == kTypeStream) {
      uint64_t size = version_ == 3 ? (e.size & 0xFFFFFFFFull) : e.size;
      bool mini = size < kMiniStreamCutoff;
      // A damaged chain is left where it is: losing a few sectors beats freeing a stranger's.
      if (WalkChain(mini, e.start, size, &tmpChain_) == S_OK) {
        FreeUnits(mini, tmpChain_, 0);
        anyMini = anyMini || mini;
      }
    }
    trees_.erase(nodes[i]);
    if (i > 0) {
      ClearEntry(nodes[i]);
      if (r == S_OK) r = WriteEntry(nodes[i]);
      freeEntries_.push_back(nodes[i]);
    }
  }
  if (r != S_OK) return r;
  return anyMini ? FlushMini() : FlushFat();
}

// ---------------------------------------------------------------------------------------------
// Storage operations

Result CfbFile::CreateElement(uint32_t storage, const std::u16string& name, uint8_t type,
                              bool replace, uint32_t* out) {
  if (Result r = MutableCheck()) return r;
  if (!IsValidName(name)) return STG_E_INVALIDNAME;
  ChildIndex& index = *trees_.at(storage);
  if (!index.valid) {
    Result r = RebuildTree(storage);
    if (r != S_OK) return r;
  }
  const std::u16string key = UpperName(name);
  auto it = index.byName.find(key);
  const uint32_t old = it == index.byName.end() ? NOSTREAM : it->second;
  std::vector<uint32_t> doomed;
  std::vector<DirEntry> doomedEntries;
  if (old != NOSTREAM) {
    if (!replace) return STG_E_FILEALREADYEXISTS;
    Result r = CollectSubtree(old, &doomed);
    if (r != S_OK) return r;
    for (uint32_t n : doomed) doomedEntries.push_back(dir_[n]);
  }
  uint32_t z;
  Result r = AllocEntry(&z);
  if (r != S_OK) return r;
  DirEntry& e = dir_[z];
  e = DirEntry();
  e.name = name;
  e.nameLength = uint16_t((name.size() + 1) * 2);
  e.type = type;
  if (type == kTypeStorage) {
    e.start = 0;
    e.creationTime = e.modifiedTime = Now();
  } else {
    e.start = ENDOFCHAIN;
  }
  TreeTxn txn;
  txn.storage = storage;
  txn.oldTop = dir_[storage].child;
  txn.fresh.push_back(z);
  txn_ = &txn;
  if (old != NOSTREAM) {
    RbErase(old);
    txn.removed.push_back(old);
  }
  RbInsert(z);
  txn_ = nullptr;
  inTree_[z] = 1;
  index.byName[key] = z;
  r = Materialize(txn);
  if (r == S_OK && old != NOSTREAM) r = DropSubtree(doomed, doomedEntries);
  if (r == S_OK && type == kTypeStorage) trees_[z] = std::make_unique<ChildIndex>();
  if (r == S_OK) *out = z;
  return r;
}

Result CfbFile::Rename(uint32_t storage, const std::u16string& oldName,
                       const std::u16string& newName) {
  if (Result r = MutableCheck()) return r;
  ChildIndex& index = *trees_.at(storage);
  const std::u16string oldKey = UpperName(oldName);
  auto it = index.byName.find(oldKey);
  if (it == index.byName.end()) return STG_E_FILENOTFOUND;
  const uint32_t old = it->second;
  if (!IsValidName(newName)) return STG_E_INVALIDNAME;
  if (open_.count(old)) return STG_E_ACCESSDENIED;
  const std::u16string newKey = UpperName(newName);
  auto jt = index.byName.find(newKey);
  if (jt != index.byName.end() && jt->second != old) return STG_E_FILEALREADYEXISTS;
  if (!index.valid) {
    Result r = RebuildTree(storage);
    if (r != S_OK) return r;
    return Rename(storage, oldName, newName);  // entries have moved
  }
  if (jt != index.byName.end()) {
    // Only the letter case changes: the place in the tree stays, one entry write.
    dir_[old].name = newName;
    dir_[old].nameLength = uint16_t((newName.size() + 1) * 2);
    return WriteEntry(old);
  }
  // The renamed element is a new entry (a copy under the new name) inserted while the old one is
  // erased, so one switch of the tree makes the rename happen.
  uint32_t z;
  Result r = AllocEntry(&z);
  if (r != S_OK) return r;
  dir_[z] = dir_[old];
  dir_[z].name = newName;
  dir_[z].nameLength = uint16_t((newName.size() + 1) * 2);
  TreeTxn txn;
  txn.storage = storage;
  txn.oldTop = dir_[storage].child;
  txn.fresh.push_back(z);
  txn.removed.push_back(old);
  txn_ = &txn;
  RbErase(old);
  RbInsert(z);
  txn_ = nullptr;
  inTree_[z] = 1;
  index.byName.erase(oldKey);
  index.byName[newKey] = z;
  auto t = trees_.find(old);
  if (t != trees_.end()) {
    std::unique_ptr<ChildIndex> moved = std::move(t->second);
    trees_.erase(t);
    trees_[z] = std::move(moved);
  }
  return Materialize(txn);
}

}  // namespace detail
}  // namespace zycfb
