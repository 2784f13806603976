// Damaged files: every defect gives an error code (or, where the format's readers are lenient,
// a clean read), never a crash or a hang, and opening even for writing leaves the bytes alone.
#include <functional>
#include <random>

#include "platform/compound/CfbFormat.h"
#include "tests/compound/TestUtil.h"

namespace cfbtest {
namespace {

using cfb::Put16;
using cfb::Put32;

// Opens the file for writing, walks every storage and reads every stream; the first failure.
Result VisitAll(const std::string& path) {
  std::shared_ptr<Storage> root;
  Result r = OpenDocfile(path, kRW, &root);
  if (r != S_OK) return r;
  std::vector<std::shared_ptr<Storage>> todo{root};
  while (!todo.empty()) {
    std::shared_ptr<Storage> st = todo.back();
    todo.pop_back();
    std::vector<ElementStat> list;
    if ((r = st->EnumElements(&list)) != S_OK) return r;
    for (const ElementStat& e : list) {
      if (e.type == STGTY_STORAGE) {
        std::shared_ptr<Storage> child;
        if ((r = st->OpenStorage(e.name, kRW, &child)) != S_OK) return r;
        todo.push_back(child);
      } else {
        std::shared_ptr<Stream> s;
        if ((r = st->OpenStream(e.name, kRW, &s)) != S_OK) return r;
        std::string buf(size_t(e.size), '\0');
        uint32_t read = 0;
        if ((r = s->Read(&buf[0], uint32_t(buf.size()), &read)) != S_OK) return r;
        if (read != e.size) return STG_E_READFAULT;
      }
    }
  }
  return S_OK;
}

struct Damage {
  const char* what;
  std::function<void(std::string& bytes, const FileLayout& layout)> apply;
  Result expected3, expected4;
};

class DamageTest : public CompoundTest, public ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(Both, DamageTest, ::testing::Values(3, 4));

uint32_t EntryId(const FileLayout& l, const std::string& name) {
  for (size_t i = 0; i < l.entries.size(); ++i)
    if (l.entries[i].type != 0 && Utf16ToUtf8(l.entries[i].name) == name) return uint32_t(i);
  ADD_FAILURE() << "no entry " << name;
  return 0;
}
uint8_t* Entry(std::string& b, const FileLayout& l, uint32_t id) {
  uint32_t per = l.sectorSize / 128;
  uint64_t off = (uint64_t(l.dirSectors[id / per]) + 1) * l.sectorSize + (id % per) * 128;
  return reinterpret_cast<uint8_t*>(&b[size_t(off)]);
}
uint8_t* Slot(std::string& b, const FileLayout& l, const std::vector<uint32_t>& sectors, uint32_t k) {
  uint32_t per = l.sectorSize / 4;
  uint64_t off = (uint64_t(sectors[k / per]) + 1) * l.sectorSize + (k % per) * 4;
  return reinterpret_cast<uint8_t*>(&b[size_t(off)]);
}
std::vector<uint32_t> ChainFor(const FileLayout& l, const std::string& name, bool mini) {
  std::vector<uint32_t> chain;
  EXPECT_EQ(ChainOf(mini ? l.miniFat : l.fat, l.entries[EntryId(l, name)].start, &chain), S_OK);
  return chain;
}

const Result kOk = S_OK, kForeign = STG_E_FILEALREADYEXISTS, kHeader = STG_E_INVALIDHEADER,
             kCorrupt = STG_E_DOCFILECORRUPT;

const Damage kDamages[] = {
    {"cut to nothing", [](std::string& b, const FileLayout&) { b.clear(); }, kForeign, kForeign},
    {"cut inside the header", [](std::string& b, const FileLayout&) { b.resize(300); }, kForeign, kForeign},
    {"wrong signature", [](std::string& b, const FileLayout&) { b[3] ^= 1; }, kForeign, kForeign},
    {"header only", [](std::string& b, const FileLayout& l) { b.resize(l.sectorSize); }, kCorrupt, kCorrupt},
    {"cut in half", [](std::string& b, const FileLayout& l) { b.resize(b.size() / 2 / l.sectorSize * l.sectorSize); },
     kCorrupt, kCorrupt},
    {"last sector gone", [](std::string& b, const FileLayout& l) { b.resize(b.size() - l.sectorSize); },
     kCorrupt, kCorrupt},
    {"byte order", [](std::string& b, const FileLayout&) { b[0x1C] = b[0x1D] = char(0xFF); }, kHeader, kHeader},
    {"major version 5", [](std::string& b, const FileLayout&) { b[0x1A] = 5; }, kHeader, kHeader},
    {"sector shift of the other version", [](std::string& b, const FileLayout& l) { b[0x1E] = l.sectorSize == 512 ? 12 : 9; },
     kHeader, kHeader},
    {"mini sector shift 7", [](std::string& b, const FileLayout&) { b[0x20] = 7; }, kHeader, kHeader},
    {"cutoff 8192", [](std::string& b, const FileLayout&) { Put32(reinterpret_cast<uint8_t*>(&b[0x38]), 8192); },
     kHeader, kHeader},
    {"no FAT sectors", [](std::string& b, const FileLayout&) { Put32(reinterpret_cast<uint8_t*>(&b[0x2C]), 0); },
     kHeader, kHeader},
    {"more FAT sectors than the file has", [](std::string& b, const FileLayout&) {
       Put32(reinterpret_cast<uint8_t*>(&b[0x2C]), 0x10000000); }, kCorrupt, kCorrupt},
    {"FAT sector beyond the file", [](std::string& b, const FileLayout&) {
       Put32(reinterpret_cast<uint8_t*>(&b[0x4C]), 0x00FFFFF0); }, kCorrupt, kCorrupt},
    {"FAT sector free", [](std::string& b, const FileLayout&) {
       Put32(reinterpret_cast<uint8_t*>(&b[0x4C]), 0xFFFFFFFF); }, kCorrupt, kCorrupt},
    {"directory beyond the file", [](std::string& b, const FileLayout&) {
       Put32(reinterpret_cast<uint8_t*>(&b[0x30]), 0x00FFFFF0); }, kCorrupt, kCorrupt},
    {"directory chain loops", [](std::string& b, const FileLayout& l) {
       Put32(Slot(b, l, l.fatSectors, l.dirSectors.back()), l.dirSectors.front()); }, kCorrupt, kCorrupt},
    {"stream chain loops", [](std::string& b, const FileLayout& l) {
       auto c = ChainFor(l, "big", false);
       Put32(Slot(b, l, l.fatSectors, c[3]), c[1]); }, kCorrupt, kCorrupt},
    {"stream chain leaves the FAT", [](std::string& b, const FileLayout& l) {
       auto c = ChainFor(l, "big", false);
       Put32(Slot(b, l, l.fatSectors, c[2]), 0x00FFFFF0); }, kCorrupt, kCorrupt},
    {"stream chain ends early", [](std::string& b, const FileLayout& l) {
       auto c = ChainFor(l, "big", false);
       Put32(Slot(b, l, l.fatSectors, c[2]), 0xFFFFFFFE); }, kCorrupt, kCorrupt},
    {"free sector in a chain", [](std::string& b, const FileLayout& l) {
       auto c = ChainFor(l, "inner", false);
       Put32(Slot(b, l, l.fatSectors, c[0]), 0xFFFFFFFF); }, kCorrupt, kCorrupt},
    {"mini chain loops", [](std::string& b, const FileLayout& l) {
       auto c = ChainFor(l, "small", true);
       Put32(Slot(b, l, l.miniFatSectors, c[3]), c[0]); }, kCorrupt, kCorrupt},
    {"mini sector beyond the mini stream", [](std::string& b, const FileLayout& l) {
       Put32(Entry(b, l, EntryId(l, "small")) + 0x74, uint32_t(l.miniFat.size() - 1)); }, kCorrupt, kCorrupt},
    {"stream size beyond the file", [](std::string& b, const FileLayout& l) {
       Put32(Entry(b, l, EntryId(l, "big")) + 0x78, 50u << 20); }, kCorrupt, kCorrupt},
    {"sibling loop", [](std::string& b, const FileLayout& l) {
       uint32_t top = l.entries[0].child;
       uint32_t below = l.entries[top].left != 0xFFFFFFFF ? l.entries[top].left : l.entries[top].right;
       Put32(Entry(b, l, below) + 0x48, top); }, kCorrupt, kCorrupt},
    {"sibling beyond the directory", [](std::string& b, const FileLayout& l) {
       Put32(Entry(b, l, l.entries[0].child) + 0x44, 100000); }, kCorrupt, kCorrupt},
    {"storage holding the root", [](std::string& b, const FileLayout& l) {
       Put32(Entry(b, l, EntryId(l, "g")) + 0x4C, 0); }, kCorrupt, kCorrupt},
    {"storage holding itself", [](std::string& b, const FileLayout& l) {
       uint32_t g = EntryId(l, "g");
       Put32(Entry(b, l, g) + 0x4C, g); }, kCorrupt, kCorrupt},
    {"unknown object type", [](std::string& b, const FileLayout& l) {
       Entry(b, l, EntryId(l, "big"))[0x42] = 7; }, kCorrupt, kCorrupt},
    {"odd name length", [](std::string& b, const FileLayout& l) {
       Put16(Entry(b, l, EntryId(l, "tiny")) + 0x40, 9); }, kCorrupt, kCorrupt},
    {"root entry not a root", [](std::string& b, const FileLayout& l) { Entry(b, l, 0)[0x42] = 1; },
     kCorrupt, kCorrupt},
    // What other writers do and readers accept.
    {"minor version 0x3B", [](std::string& b, const FileLayout&) { b[0x18] = 0x3B; }, kOk, kOk},
    {"mini stream declared longer than its chain", [](std::string& b, const FileLayout& l) {
       Put32(Entry(b, l, 0) + 0x78, 1u << 20); }, kOk, kOk},
    {"size with a high double word", [](std::string& b, const FileLayout& l) {
       Put32(Entry(b, l, EntryId(l, "big")) + 0x7C, 1); }, kOk, kCorrupt},
    {"storage with a start sector", [](std::string& b, const FileLayout& l) {
       Put32(Entry(b, l, EntryId(l, "g")) + 0x74, 0xFFFFFFFE); }, kOk, kOk},
};

TEST_P(DamageTest, EveryDefectEndsInAResultCode) {
  const std::string path = Path("pristine.cfb");
  {
    auto root = Create(path, GetParam());
    WriteAll(*NewStream(*root, "small"), Pattern(300, 1));
    WriteAll(*NewStream(*root, "big"), Pattern(20000, 2));
    std::shared_ptr<Storage> g;
    ASSERT_EQ(root->CreateStorage(U("g"), kRW, &g), S_OK);
    WriteAll(*NewStream(*g, "inner"), Pattern(5000, 3));
    WriteAll(*NewStream(*g, "tiny"), "tiny");
  }
  const std::string pristine = FileBytes(path);
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  ASSERT_EQ(VisitAll(path), S_OK);
  for (const Damage& d : kDamages) {
    std::string bytes = pristine;
    d.apply(bytes, layout);
    const std::string damaged = Path("damaged.cfb");
    SetFileBytes(damaged, bytes);
    Result expected = GetParam() == 3 ? d.expected3 : d.expected4;
    EXPECT_EQ(Hex(VisitAll(damaged)), Hex(expected)) << d.what;
    EXPECT_TRUE(FileBytes(damaged) == bytes) << d.what << ": the file was changed";
  }
}

}  // namespace
}  // namespace cfbtest

namespace cfbtest {
namespace {

// Writes into a file that opened despite damage: growing, shrinking, creating and renaming may
// fail, but must not crash.
void ScribbleOn(const std::string& path) {
  std::shared_ptr<Storage> root;
  if (OpenDocfile(path, kRW, &root) != S_OK) return;
  std::vector<ElementStat> list;
  if (root->EnumElements(&list) != S_OK) return;
  for (const ElementStat& e : list) {
    std::shared_ptr<Stream> s;
    if (e.type != STGTY_STREAM || root->OpenStream(e.name, kRW, &s) != S_OK) continue;
    std::string more = Pattern(5000, 9);
    s->Seek(0, STREAM_SEEK_END, nullptr);
    s->Write(more.data(), uint32_t(more.size()), nullptr);
    s->SetSize(100);
  }
  std::shared_ptr<Stream> s;
  if (root->CreateStream(U("fresh"), kRW, &s) == S_OK) {
    std::string data = Pattern(9000, 4);
    s->Write(data.data(), uint32_t(data.size()), nullptr);
  }
  for (int i = 0; i < 20; ++i) {
    std::shared_ptr<Stream> t;
    root->CreateStream(U("n" + std::to_string(i)), kRW, &t);
  }
  if (!list.empty()) root->RenameElement(list[0].name, U("zz-renamed"));
}

// Random bytes of the header, FAT and directory changed, or the file cut at a random point:
// whatever the service answers, it does not crash, does not hang, and does not change the file
// while reading it.
TEST_P(DamageTest, RandomDamageNeverCrashes) {
  const std::string path = Path("pristine.cfb");
  {
    auto root = Create(path, GetParam());
    WriteAll(*NewStream(*root, "small"), Pattern(300, 1));
    WriteAll(*NewStream(*root, "big"), Pattern(20000, 2));
    std::shared_ptr<Storage> g;
    ASSERT_EQ(root->CreateStorage(U("g"), kRW, &g), S_OK);
    for (int i = 0; i < 12; ++i) WriteAll(*NewStream(*g, "e" + std::to_string(i)), Pattern(size_t(i) * 500, uint32_t(i)));
  }
  const std::string pristine = FileBytes(path);
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  // The metadata: header, FAT, directory and mini FAT sectors.
  std::vector<std::pair<size_t, size_t>> regions{{0, 512}};
  auto sectorRegion = [&](uint32_t s) {
    regions.emplace_back(size_t(s + 1) * layout.sectorSize, layout.sectorSize);
  };
  for (uint32_t s : layout.fatSectors) sectorRegion(s);
  for (uint32_t s : layout.dirSectors) sectorRegion(s);
  for (uint32_t s : layout.miniFatSectors) sectorRegion(s);
  std::mt19937 rng(uint32_t(GetParam()) * 1000 + 1);
  const std::string damaged = Path("random.cfb");
  int opened = 0;
  for (int round = 0; round < 400; ++round) {
    std::string bytes = pristine;
    if (round % 10 == 9) {
      bytes.resize(rng() % bytes.size());
    } else {
      for (int k = 1 + int(rng() % 4); k > 0; --k) {
        const auto& reg = regions[rng() % regions.size()];
        size_t at = reg.first + rng() % reg.second;
        bytes[at] = rng() % 3 == 0 ? char(0xFF) : char(rng());
      }
    }
    SetFileBytes(damaged, bytes);
    Result r = VisitAll(damaged);
    ASSERT_TRUE(FileBytes(damaged) == bytes) << "round " << round << " changed the file";
    if (r == S_OK) ++opened;
    ScribbleOn(damaged);
  }
  EXPECT_GT(opened, 0);  // some damage is harmless (names, times, colours...)
}

}  // namespace
}  // namespace cfbtest
