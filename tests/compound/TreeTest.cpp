// Sibling trees: order of names, red-black validity after inserts and renames, lookups through
// the name index, and open handles that keep working while their entries move during rebalancing.
#include <algorithm>
#include <random>
#include <set>

#include "platform/compound/CfbFormat.h"
#include "tests/compound/TestUtil.h"

namespace cfbtest {
namespace {

bool SiblingLess(const std::string& a, const std::string& b) {
  return cfb::CompareNames(U(a), U(b)) < 0;
}

TEST(NameOrder, LengthFirstThenUpperCasedUnits) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"b", "aa", -1},     {"abc", "ABC", 0},   {"a", "Z", -1},  {"a", "_", -1},
      {"Zz", "aaa", -1},   {"x1", "X1", 0},     {"é", "É", 0},   {"ÿ", "Ÿ", 0},
      {"straße", "STRASSE", -1},  // no one-to-many mapping: 'ß' stays, and the lengths differ
  };
  for (const Case& c : cases) {
    int got = cfb::CompareNames(U(c.a), U(c.b));
    EXPECT_EQ((got > 0) - (got < 0), c.expected) << c.a << " vs " << c.b;
  }
  EXPECT_EQ(cfb::UpperUnit(u'σ'), u'Σ');
  EXPECT_EQ(cfb::UpperUnit(u'ς'), u'Σ');
  EXPECT_EQ(cfb::UpperUnit(u'ж'), u'Ж');
  EXPECT_EQ(cfb::UpperUnit(0xD83D), 0xD83D);  // surrogates stay
  EXPECT_EQ(cfb::UpperUnit(u'ß'), u'ß');
}

// Ten thousand streams in one storage, created in shuffled order: every lookup (in either case)
// finds its stream, enumeration comes out in sibling order, and the tree is a valid red-black
// tree, before and after reopening. Free entries are reused, so the directory stays compact.
TEST_F(CompoundTest, TenThousandStreamsInOneStorage) {
  const std::string path = Path("many.cfb");
  const int kCount = 10000;
  std::vector<std::string> names;
  for (int i = 0; i < kCount; ++i) names.push_back("v" + std::to_string(i * 7 + 3));
  std::shuffle(names.begin(), names.end(), std::mt19937(42));
  {
    auto root = Create(path);
    std::shared_ptr<Storage> data;
    ASSERT_EQ(root->CreateStorage(U("Data"), kRW, &data), S_OK);
    for (const std::string& n : names) {
      std::shared_ptr<Stream> s;
      ASSERT_EQ(data->CreateStream(U(n), kRW, &s), S_OK) << n;
      WriteAll(*s, n);
    }
  }
  std::vector<std::string> sorted(names);
  std::sort(sorted.begin(), sorted.end(), SiblingLess);
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(CheckTrees(layout), "");
  EXPECT_LT(layout.entries.size(), size_t(kCount) + 2 + 64);
  EXPECT_EQ(layout.header.numDirSectors, layout.dirSectors.size());  // kept current as it grew
  auto root = OpenRW(path);
  std::shared_ptr<Storage> data;
  ASSERT_EQ(root->OpenStorage(U("Data"), kRW, &data), S_OK);
  EXPECT_EQ(Names(*data), sorted);
  for (int i = 0; i < kCount; i += 7) {
    std::string n = names[size_t(i)];
    std::string upper = n;
    upper[0] = 'V';
    std::shared_ptr<Stream> s;
    ASSERT_EQ(data->OpenStream(U(upper), kRW, &s), S_OK) << upper;
    EXPECT_EQ(ReadAll(*s), n);
  }
  std::shared_ptr<Stream> s;
  EXPECT_EQ(data->OpenStream(U("v1"), kRW, &s), STG_E_FILENOTFOUND);
  EXPECT_EQ(data->CreateStream(U(names[0]), kRW, &s), STG_E_FILEALREADYEXISTS);
}

TEST_F(CompoundTest, RenameCases) {
  const std::string path = Path("rename.cfb");
  auto root = Create(path, 3);
  std::shared_ptr<Storage> folder;
  ASSERT_EQ(root->CreateStorage(U("Folder"), kRW, &folder), S_OK);
  WriteAll(*NewStream(*folder, "inside"), "kept");
  folder.reset();
  WriteAll(*NewStream(*root, "alpha"), "a");
  WriteAll(*NewStream(*root, "beta"), "b");
  auto held = OpenS(*root, "beta");

  struct Case {
    const char* from;
    const char* to;
    Result expected;
  } cases[] = {
      {"missing", "x", STG_E_FILENOTFOUND},
      {"alpha", "beta", STG_E_FILEALREADYEXISTS},
      {"alpha", "BETA", STG_E_FILEALREADYEXISTS},
      {"beta", "gamma", STG_E_ACCESSDENIED},  // open
      {"alpha", "", STG_E_INVALIDNAME},
      {"alpha", "a/b", STG_E_INVALIDNAME},
      {"alpha", "0123456789012345678901234567890x", STG_E_INVALIDNAME},
      {"alpha", "ALPHA", S_OK},  // only the letter case changes
      {"ALPHA", "omega", S_OK},
      {"Folder", "Archive", S_OK},
  };
  for (const Case& c : cases)
    EXPECT_EQ(root->RenameElement(U(c.from), U(c.to)), c.expected) << c.from << " -> " << c.to;
  held.reset();
  root.reset();
  root = OpenRW(path);
  EXPECT_EQ(Names(*root), (std::vector<std::string>{"beta", "omega", "Archive"}));
  std::shared_ptr<Storage> archive;
  ASSERT_EQ(root->OpenStorage(U("archive"), kRW, &archive), S_OK);
  EXPECT_EQ(ReadAll(*OpenS(*archive, "inside")), "kept");
  EXPECT_EQ(ReadAll(*OpenS(*root, "omega")), "a");
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(CheckTrees(layout), "");
}

// Random creates and renames over several storages; after every round the file holds valid
// red-black trees in sibling order, and the enumeration matches a model.
TEST_F(CompoundTest, TreesStayValidUnderCreatesAndRenames) {
  const std::string path = Path("churn.cfb");
  std::mt19937 rng(7);
  auto root = Create(path, 4);
  std::vector<std::shared_ptr<Storage>> storages;
  std::vector<std::set<std::string>> model(3);
  for (int i = 0; i < 3; ++i) {
    std::shared_ptr<Storage> s;
    ASSERT_EQ(root->CreateStorage(U("S" + std::to_string(i)), kRW, &s), S_OK);
    storages.push_back(s);
  }
  auto name = [&]() {
    std::string n;
    int len = 1 + int(rng() % 4);
    for (int i = 0; i < len; ++i) n.push_back(char('a' + rng() % 6));
    return n;
  };
  auto upperSet = [](const std::set<std::string>& set, const std::string& n) {
    for (const std::string& m : set)
      if (cfb::CompareNames(U(m), U(n)) == 0) return true;
    return false;
  };
  for (int round = 0; round < 30; ++round) {
    for (int op = 0; op < 40; ++op) {
      size_t k = rng() % 3;
      std::string n = name();
      if (model[k].empty() || rng() % 3) {
        std::shared_ptr<Stream> s;
        Result r = storages[k]->CreateStream(U(n), kRW, &s);
        EXPECT_EQ(r, upperSet(model[k], n) ? STG_E_FILEALREADYEXISTS : S_OK) << n;
        if (r == S_OK) model[k].insert(n);
      } else {
        auto it = model[k].begin();
        std::advance(it, rng() % model[k].size());
        std::string from = *it;
        Result r = storages[k]->RenameElement(U(from), U(n));
        bool sameName = cfb::CompareNames(U(from), U(n)) == 0;
        EXPECT_EQ(r, upperSet(model[k], n) && !sameName ? STG_E_FILEALREADYEXISTS : S_OK);
        if (r == S_OK) {
          model[k].erase(from);
          model[k].insert(n);
        }
      }
    }
    FileLayout layout;
    ASSERT_EQ(InspectFile(path, &layout), S_OK);
    ASSERT_EQ(CheckTrees(layout), "") << "round " << round;
    for (size_t k = 0; k < 3; ++k) {
      std::vector<std::string> expected(model[k].begin(), model[k].end());
      std::sort(expected.begin(), expected.end(), SiblingLess);
      ASSERT_EQ(Names(*storages[k]), expected);
    }
  }
}

// Rebalancing may move an element to another directory entry; open handles follow it, and
// releasing the root before the stream keeps the file usable.
TEST_F(CompoundTest, OpenHandlesFollowTheirEntries) {
  const std::string path = Path("moving.cfb");
  auto root = Create(path, 3);
  std::shared_ptr<Storage> data;
  ASSERT_EQ(root->CreateStorage(U("Data"), kRW, &data), S_OK);
  std::vector<std::shared_ptr<Stream>> open;
  std::vector<std::string> content;
  for (int i = 0; i < 40; ++i) {
    open.push_back(NewStream(*data, "m" + std::to_string(i)));
    content.emplace_back();
  }
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < 25; ++i) WriteAll(*NewStream(*data, "f" + std::to_string(round * 25 + i)), "x");
    for (size_t i = 0; i < open.size(); ++i) {
      std::string piece = Pattern(97, uint32_t(round * 100 + i));
      WriteAll(*open[i], piece);
      content[i] += piece;
    }
  }
  root.reset();
  data.reset();
  for (size_t i = 0; i < open.size(); ++i) EXPECT_EQ(ReadAll(*open[i]), content[i]) << i;
  std::shared_ptr<Storage> again;
  EXPECT_EQ(OpenDocfile(path, kRW, &again), STG_E_SHAREVIOLATION);  // streams still hold the file
  open.clear();
  again = OpenRW(path);
  ASSERT_EQ(again->OpenStorage(U("Data"), kRW, &data), S_OK);
  for (size_t i = 0; i < content.size(); ++i)
    EXPECT_EQ(ReadAll(*OpenS(*data, "m" + std::to_string(i))), content[i]) << i;
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(CheckTrees(layout), "");
}

}  // namespace
}  // namespace cfbtest

namespace cfbtest {
namespace {

// Files from other writers may hold sibling trees that are plain chains or break the colour
// rules. They read as they are; the first change to such a storage leaves a valid tree.
TEST_F(CompoundTest, ForeignTreesAreReadAndRebuiltOnChange) {
  const std::string path = Path("chain.cfb");
  std::vector<std::string> names;
  {
    auto root = Create(path, 3);
    for (int i = 0; i < 40; ++i) {
      names.push_back("n" + std::to_string(i));
      WriteAll(*NewStream(*root, names.back()), names.back());
    }
  }
  std::sort(names.begin(), names.end(), SiblingLess);
  // Relink the root's children as one all-black chain leaning right, the way some writers do,
  // and give one stream a time stamp, which streams should not carry.
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  std::string bytes = FileBytes(path);
  auto entry = [&](uint32_t id) {
    uint64_t off = (uint64_t(layout.dirSectors[id / 4]) + 1) * 512 + (id % 4) * 128;
    return reinterpret_cast<uint8_t*>(&bytes[size_t(off)]);
  };
  std::vector<uint32_t> ids;
  for (const std::string& n : names)
    for (uint32_t i = 0; i < layout.entries.size(); ++i)
      if (layout.entries[i].type == 2 && Utf16ToUtf8(layout.entries[i].name) == n) ids.push_back(i);
  ASSERT_EQ(ids.size(), names.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    uint8_t* e = entry(ids[i]);
    e[0x43] = 1;
    cfb::Put32(e + 0x44, 0xFFFFFFFF);
    cfb::Put32(e + 0x48, i + 1 < ids.size() ? ids[i + 1] : 0xFFFFFFFF);
  }
  cfb::Put32(entry(0) + 0x4C, ids[0]);
  cfb::Put64(entry(ids[5]) + 0x6C, 0x01D0000000000000ull);
  SetFileBytes(path, bytes);
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  ASSERT_NE(CheckTrees(layout), "");

  auto root = OpenRW(path);
  EXPECT_EQ(Names(*root), names);
  const std::string heldName = names[7];
  auto held = OpenS(*root, heldName);  // an open stream moves along with the rebuild
  for (const std::string& n : names) {
    if (n == heldName) continue;
    EXPECT_EQ(ReadAll(*OpenS(*root, n)), n);
  }
  WriteAll(*NewStream(*root, "added"), "added");
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(CheckTrees(layout), "");
  for (const RawDirEntry& e : layout.entries) {
    if (e.type == 2) {
      EXPECT_EQ(e.modifiedTime, 0u) << Utf16ToUtf8(e.name);
    }
  }
  ASSERT_EQ(held->Seek(0, STREAM_SEEK_END, nullptr), S_OK);
  WriteAll(*held, "+more");
  held.reset();
  root.reset();
  root = OpenRW(path);
  names.push_back("added");
  std::sort(names.begin(), names.end(), SiblingLess);
  EXPECT_EQ(Names(*root), names);
  EXPECT_EQ(ReadAll(*OpenS(*root, heldName)), heldName + "+more");
}

}  // namespace
}  // namespace cfbtest
