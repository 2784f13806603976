// Round trips through the service in both format versions: content, placement of streams
// (mini stream below 4096 bytes, regular sectors from 4096 on), zeroed tails, DIFAT growth and
// the range-lock sector of big version 4 files.
#include <map>

#include "tests/compound/TestUtil.h"

namespace cfbtest {
namespace {

constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;

class VersionTest : public CompoundTest, public ::testing::WithParamInterface<int> {};

INSTANTIATE_TEST_SUITE_P(Both, VersionTest, ::testing::Values(3, 4));

const RawDirEntry* FindEntry(const FileLayout& layout, const std::string& name) {
  for (const RawDirEntry& e : layout.entries)
    if (e.type != 0 && Utf16ToUtf8(e.name) == name) return &e;
  return nullptr;
}

// Checks where a stream lives and that the bytes after its end in its last unit are zero.
void CheckStreamLayout(const std::string& path, const FileLayout& layout, const std::string& name) {
  const RawDirEntry* e = FindEntry(layout, name);
  ASSERT_NE(e, nullptr) << name;
  const uint64_t size = layout.header.majorVersion == 3 ? (e->size & 0xFFFFFFFF) : e->size;
  std::vector<uint32_t> chain;
  if (size == 0) {
    EXPECT_EQ(e->start, kEnd) << name;
    return;
  }
  const uint32_t sector = layout.sectorSize;
  if (size < 4096) {
    ASSERT_EQ(ChainOf(layout.miniFat, e->start, &chain), S_OK) << name;
    ASSERT_EQ(chain.size(), (size + 63) / 64) << name << " mini chain";
    std::vector<uint32_t> mini;
    ASSERT_EQ(ChainOf(layout.fat, layout.entries[0].start, &mini), S_OK);
    EXPECT_EQ(layout.entries[0].size % 64, 0u);
    EXPECT_EQ(mini.size(), (layout.entries[0].size + sector - 1) / sector) << "mini stream chain";
    uint64_t at = uint64_t(chain.back()) * 64 + size % 64;
    if (size % 64) {
      std::string tail(64 - size % 64, 'x');
      ASSERT_EQ(ReadSectorBytes(path, layout, mini[at / sector], uint32_t(at % sector), &tail[0],
                                tail.size()), S_OK);
      EXPECT_EQ(tail, std::string(tail.size(), '\0')) << name << " mini tail";
    }
  } else {
    ASSERT_EQ(ChainOf(layout.fat, e->start, &chain), S_OK) << name;
    ASSERT_EQ(chain.size(), (size + sector - 1) / sector) << name << " chain";
    if (size % sector) {
      std::string tail(sector - size % sector, 'x');
      ASSERT_EQ(ReadSectorBytes(path, layout, chain.back(), uint32_t(size % sector), &tail[0],
                                tail.size()), S_OK);
      EXPECT_EQ(tail, std::string(tail.size(), '\0')) << name << " tail";
    }
  }
}

// Every sector in use belongs to exactly one chain (or is a FAT/DIFAT sector), and every mini
// sector in use to one mini chain: nothing leaks, nothing is shared.
void CheckAccounting(const FileLayout& layout) {
  std::vector<int> owner(layout.fat.size(), 0), miniOwner(layout.miniFat.size(), 0);
  auto claim = [&](std::vector<int>& own, const std::vector<uint32_t>& chain) {
    for (uint32_t s : chain) {
      ASSERT_LT(s, own.size());
      EXPECT_EQ(own[s]++, 0) << "sector " << s << " in two chains";
    }
  };
  std::vector<uint32_t> chain;
  ASSERT_EQ(ChainOf(layout.fat, layout.header.firstDirSector, &chain), S_OK);
  claim(owner, chain);
  if (layout.header.firstMiniFatSector != kEnd) claim(owner, layout.miniFatSectors);
  for (uint32_t s : layout.fatSectors) owner[s]++;
  for (uint32_t s : layout.difatSectors) owner[s]++;
  for (size_t i = 0; i < layout.entries.size(); ++i) {
    const RawDirEntry& e = layout.entries[i];
    const uint64_t size = layout.header.majorVersion == 3 ? (e.size & 0xFFFFFFFF) : e.size;
    if ((e.type != 2 && e.type != 5) || size == 0) continue;
    bool mini = e.type == 2 && size < 4096;
    ASSERT_EQ(ChainOf(mini ? layout.miniFat : layout.fat, e.start, &chain), S_OK);
    claim(mini ? miniOwner : owner, chain);
  }
  for (size_t s = 0; s < layout.fat.size(); ++s) {
    uint32_t v = layout.fat[s];
    if (s == 0x7FFFE && layout.header.majorVersion == 4 && v == kEnd) continue;  // range lock
    EXPECT_EQ(owner[s] != 0, v != kFree) << "sector " << s << " value " << std::hex << v;
  }
  for (size_t m = 0; m < layout.miniFat.size(); ++m)
    EXPECT_EQ(miniOwner[m] != 0, layout.miniFat[m] != kFree) << "mini sector " << m;
}

TEST_P(VersionTest, StoragesAndStreamsSurviveReopen) {
  const std::string path = Path("round.cfb");
  const std::vector<size_t> sizes = {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 100000};
  std::map<std::string, std::string> model;
  {
    auto root = Create(path, GetParam());
    std::shared_ptr<Storage> sub, deeper;
    ASSERT_EQ(root->CreateStorage(U("Tables"), kRW, &sub), S_OK);
    ASSERT_EQ(sub->CreateStorage(U("Inner"), kRW, &deeper), S_OK);
    for (size_t i = 0; i < sizes.size(); ++i) {
      std::string name = "s" + std::to_string(sizes[i]);
      std::string data = Pattern(sizes[i], uint32_t(i));
      WriteAll(*NewStream(i % 2 ? *sub : *root, name), data);
      model[(i % 2 ? "Tables/" : "") + name] = data;
    }
    WriteAll(*NewStream(*deeper, "deep"), "at the bottom");
    model["Tables/Inner/deep"] = "at the bottom";
  }
  std::shared_ptr<Storage> root;
  ASSERT_EQ(OpenDocfile(path, STGM_READ | STGM_SHARE_DENY_WRITE, &root), S_OK);
  std::shared_ptr<Storage> sub, deeper;
  ASSERT_EQ(root->OpenStorage(U("Tables"), kRO, &sub), S_OK);
  ASSERT_EQ(sub->OpenStorage(U("Inner"), kRO, &deeper), S_OK);
  for (const auto& [key, data] : model) {
    size_t slash = key.rfind('/');
    Storage& parent = key.rfind("Tables/Inner/", 0) == 0 ? *deeper : slash == std::string::npos ? *root : *sub;
    auto s = OpenS(parent, key.substr(slash == std::string::npos ? 0 : slash + 1), kRO);
    ASSERT_TRUE(s);
    EXPECT_EQ(ReadAll(*s), data) << key;
    ElementStat st;
    ASSERT_EQ(s->Stat(&st), S_OK);
    EXPECT_EQ(st.size, data.size());
    EXPECT_EQ(st.type, STGTY_STREAM);
  }
  std::vector<ElementStat> list;
  ASSERT_EQ(root->EnumElements(&list), S_OK);
  ASSERT_EQ(list.size(), 7u);  // six streams and "Tables"
  for (const ElementStat& e : list) {
    if (e.name == U("Tables")) {
      EXPECT_EQ(e.type, STGTY_STORAGE);
      EXPECT_NE(e.creationTime, 0u);
    } else {
      EXPECT_EQ(e.type, STGTY_STREAM);
      EXPECT_EQ(e.size, model.at(Utf16ToUtf8(e.name)).size());
    }
  }
  ElementStat rootStat;
  ASSERT_EQ(root->Stat(&rootStat), S_OK);
  EXPECT_EQ(rootStat.type, STGTY_ROOT);

  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(layout.header.majorVersion, GetParam());
  EXPECT_EQ(layout.header.minorVersion, 0x3E);
  EXPECT_EQ(layout.header.sectorShift, GetParam() == 3 ? 9 : 12);
  EXPECT_TRUE(layout.header.reservedZero);
  EXPECT_EQ(layout.header.numDirSectors, GetParam() == 3 ? 0u : layout.dirSectors.size());
  EXPECT_EQ(layout.header.numMiniFatSectors, layout.miniFatSectors.size());
  EXPECT_EQ(layout.fileSize % layout.sectorSize, 0u);
  EXPECT_EQ(CheckTrees(layout), "");
  CheckAccounting(layout);
  for (const auto& [key, data] : model) {
    size_t slash = key.rfind('/');
    CheckStreamLayout(path, layout, key.substr(slash == std::string::npos ? 0 : slash + 1));
  }
}

// One stream taken across the cutoff and back by writes and SetSize, its content checked against
// a model and its placement and zeroed tail against the file after every step.
TEST_P(VersionTest, CutoffCrossingsMoveTheData) {
  struct Step {
    const char* what;
    uint64_t writeAt;  // UINT64_MAX: SetSize(size) instead of a write
    uint64_t size;     // bytes written, or the new size
  };
  const uint64_t kResize = UINT64_MAX;
  const std::vector<Step> steps = {
      {"small write", 0, 4000},         {"grow to 4095", 4000, 95},
      {"reach exactly 4096", 4095, 1},  {"shrink to 4095", kResize, 4095},
      {"grow by SetSize", kResize, 5000}, {"shrink to 100", kResize, 100},
      {"write far past the end", 10000, 10}, {"overwrite inside", 50, 5000},
      {"shrink to 0", kResize, 0},      {"grow empty to 4096", kResize, 4096},
      {"shrink to 1", kResize, 1},      {"write at 4096", 4096, 3},
      {"shrink in regular", kResize, 4500},
  };
  const std::string path = Path("cut.cfb");
  auto root = Create(path, GetParam());
  auto s = NewStream(*root, "moving");
  WriteAll(*NewStream(*root, "neighbour"), Pattern(300, 99));  // shares the mini stream
  std::string model;
  uint32_t seed = 1;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.writeAt == kResize) {
      ASSERT_EQ(s->SetSize(step.size), S_OK);
      model.resize(step.size, '\0');
    } else {
      std::string data = Pattern(step.size, seed++);
      ASSERT_EQ(s->Seek(int64_t(step.writeAt), STREAM_SEEK_SET, nullptr), S_OK);
      WriteAll(*s, data);
      if (model.size() < step.writeAt + data.size()) model.resize(step.writeAt + data.size(), '\0');
      model.replace(step.writeAt, data.size(), data);
    }
    EXPECT_EQ(ReadAll(*s), model);
    FileLayout layout;
    ASSERT_EQ(InspectFile(path, &layout), S_OK);
    CheckStreamLayout(path, layout, "moving");
    CheckStreamLayout(path, layout, "neighbour");
    CheckAccounting(layout);
  }
  s.reset();
  root.reset();
  root = OpenRW(path);
  EXPECT_EQ(ReadAll(*OpenS(*root, "moving")), model);
  EXPECT_EQ(ReadAll(*OpenS(*root, "neighbour")), Pattern(300, 99));
}

TEST_P(VersionTest, SeekAndReadAtTheEdges) {
  auto root = Create(Path("seek.cfb"), GetParam());
  auto s = NewStream(*root, "s");
  WriteAll(*s, "0123456789");
  uint64_t pos = 0;
  EXPECT_EQ(s->Seek(-3, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos, 7u);
  char buf[8] = {};
  uint32_t read = 0;
  EXPECT_EQ(s->Read(buf, 8, &read), S_OK);
  EXPECT_EQ(std::string(buf, read), "789");
  EXPECT_EQ(s->Read(buf, 8, &read), S_OK);  // at the end: nothing, no error
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(s->Seek(100, STREAM_SEEK_SET, &pos), S_OK);  // past the end is allowed
  EXPECT_EQ(s->Read(buf, 8, &read), S_OK);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(s->Seek(-1, STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(-200, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(0, 3, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(4, STREAM_SEEK_SET, &pos), S_OK);
  EXPECT_EQ(s->Seek(2, STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos, 6u);
  uint32_t written = 0;
  EXPECT_EQ(s->Write(nullptr, 0, &written), S_OK);  // an empty write changes nothing
  ElementStat st;
  ASSERT_EQ(s->Stat(&st), S_OK);
  EXPECT_EQ(st.size, 10u);
}

// More than 109 FAT sectors: a version 3 file beyond 6.8 MiB needs DIFAT sectors; the file is
// grown in two sessions so a reopened file's DIFAT is extended too.
TEST_F(CompoundTest, Version3BeyondEightMebibytesUsesTheDifat) {
  const std::string path = Path("big3.cfb");
  const std::string first = Pattern(9 << 20, 7), second = Pattern(9 << 20, 8);
  {
    auto root = Create(path, 3);
    auto s = NewStream(*root, "big");
    for (size_t at = 0; at < first.size(); at += 1 << 20) WriteAll(*s, first.substr(at, 1 << 20));
    WriteAll(*NewStream(*root, "small"), "after the big one");
  }
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_GT(layout.header.numFatSectors, 109u);
  EXPECT_EQ(layout.header.numDifatSectors, 1u);
  EXPECT_EQ(layout.difatSectors.size(), 1u);
  {
    auto root = OpenRW(path);
    auto s = OpenS(*root, "big");
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_END, nullptr), S_OK);
    for (size_t at = 0; at < second.size(); at += 1 << 20) WriteAll(*s, second.substr(at, 1 << 20));
  }
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_GT(layout.header.numFatSectors, 109u + 127u);
  EXPECT_EQ(layout.header.numDifatSectors, 2u);
  for (uint32_t s : layout.fatSectors) EXPECT_EQ(layout.fat[s], 0xFFFFFFFDu);
  for (uint32_t s : layout.difatSectors) EXPECT_EQ(layout.fat[s], 0xFFFFFFFCu);
  // FAT slots for sectors past the end of the file are free.
  for (size_t i = layout.fileSize / 512 - 1; i < layout.fat.size(); ++i) EXPECT_EQ(layout.fat[i], kFree);
  CheckAccounting(layout);
  auto root = OpenRW(path);
  EXPECT_EQ(ReadAll(*OpenS(*root, "big")), first + second);
  EXPECT_EQ(ReadAll(*OpenS(*root, "small")), "after the big one");
}

// Past 2 GiB a version 4 file keeps its range-lock sector allocated and out of every chain. The
// growth is made by SetSize, whose zeros past the end of the file cost no disk space.
TEST_F(CompoundTest, Version4PastTwoGibibytesReservesTheRangeLockSector) {
  const std::string path = Path("huge4.cfb");
  const uint64_t size = (uint64_t(2) << 30) + 123456;
  {
    auto root = Create(path, 4);
    auto s = NewStream(*root, "huge");
    ASSERT_EQ(s->SetSize(size), S_OK);
    ASSERT_EQ(s->Seek(-5, STREAM_SEEK_END, nullptr), S_OK);
    WriteAll(*s, "tail!");
    ASSERT_EQ(s->Seek(0x7FFFF000 - 4096, STREAM_SEEK_SET, nullptr), S_OK);  // around the lock area
    WriteAll(*s, Pattern(8192, 3));
  }
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  ASSERT_GT(layout.fat.size(), 0x7FFFEu);
  EXPECT_EQ(layout.fat[0x7FFFE], kEnd);
  const RawDirEntry* e = FindEntry(layout, "huge");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->size, size);
  std::vector<uint32_t> chain;
  ASSERT_EQ(ChainOf(layout.fat, e->start, &chain), S_OK);
  EXPECT_EQ(chain.size(), (size + 4095) / 4096);
  EXPECT_EQ(std::count(chain.begin(), chain.end(), 0x7FFFEu), 0);
  EXPECT_GT(layout.header.numDifatSectors, 0u);
  auto root = OpenRW(path);
  auto s = OpenS(*root, "huge");
  char buf[5];
  uint32_t read = 0;
  ASSERT_EQ(s->Seek(-5, STREAM_SEEK_END, nullptr), S_OK);
  ASSERT_EQ(s->Read(buf, 5, &read), S_OK);
  EXPECT_EQ(std::string(buf, read), "tail!");
  std::string mid(8192, '\0');
  ASSERT_EQ(s->Seek(0x7FFFF000 - 4096, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Read(&mid[0], 8192, &read), S_OK);
  EXPECT_EQ(mid, Pattern(8192, 3));
  ASSERT_EQ(s->Seek(1 << 30, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Read(buf, 5, &read), S_OK);
  EXPECT_EQ(std::string(buf, 5), std::string(5, '\0'));
}

}  // namespace
}  // namespace cfbtest
