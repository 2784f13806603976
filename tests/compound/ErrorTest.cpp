// Result codes of the service in the situations callers meet: missing and foreign files, names,
// existing and missing elements, elements open twice, sharing between openers, read-only access.
#include <sys/stat.h>

#include "tests/compound/TestUtil.h"

namespace cfbtest {
namespace {

TEST_F(CompoundTest, OpeningWhatIsNotACompoundFile) {
  struct Case {
    const char* what;
    std::string bytes;  // content of the file; "<none>" for no file
    Result expected;
  } cases[] = {
      {"missing file", "<none>", STG_E_FILENOTFOUND},
      {"empty file", "", STG_E_FILEALREADYEXISTS},
      {"shorter than a header", std::string(100, 'x'), STG_E_FILEALREADYEXISTS},
      {"text", std::string(2000, 't'), STG_E_FILEALREADYEXISTS},
      {"signature only", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), STG_E_FILEALREADYEXISTS},
  };
  for (const Case& c : cases) {
    std::string path = Path(std::string("f") + std::to_string(&c - cases));
    if (c.bytes != "<none>") SetFileBytes(path, c.bytes);
    std::shared_ptr<Storage> root;
    EXPECT_EQ(OpenDocfile(path, kRW, &root), c.expected) << c.what;
    EXPECT_EQ(root, nullptr);
    if (c.bytes != "<none>") {
      EXPECT_EQ(FileBytes(path), c.bytes) << c.what << " was changed";
    }
  }
  std::shared_ptr<Storage> root;
  EXPECT_EQ(OpenDocfile(Path("no/such/folder/f.cfb"), kRW, &root), STG_E_FILENOTFOUND);
  EXPECT_EQ(CreateDocfile(Path("no/such/folder/f.cfb"), STGM_CREATE | kRW, &root),
            STG_E_PATHNOTFOUND);
  EXPECT_EQ(OpenDocfile(dir_, STGM_READ | STGM_SHARE_DENY_WRITE, &root), STG_E_ACCESSDENIED);
}

TEST_F(CompoundTest, CreatingOverAnExistingFile) {
  const std::string path = Path("exists.cfb");
  SetFileBytes(path, "precious");
  std::shared_ptr<Storage> root;
  EXPECT_EQ(CreateDocfile(path, kRW, &root), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(FileBytes(path), "precious");
  EXPECT_EQ(CreateDocfile(path, STGM_CREATE | STGM_READ | STGM_SHARE_EXCLUSIVE, &root),
            STG_E_INVALIDFLAG);
  CreateOptions bad;
  bad.version = 5;
  EXPECT_EQ(CreateDocfile(path, STGM_CREATE | kRW, &root, bad), STG_E_INVALIDPARAMETER);
  root = Create(path, 3);
  WriteAll(*NewStream(*root, "old"), "old content");
  // A file open elsewhere is not replaced.
  std::shared_ptr<Storage> other;
  const std::string before = FileBytes(path);
  EXPECT_EQ(CreateDocfile(path, STGM_CREATE | kRW, &other), STG_E_SHAREVIOLATION);
  EXPECT_EQ(FileBytes(path), before);
  root.reset();
  root = Create(path, 4);
  EXPECT_TRUE(Names(*root).empty());
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(layout.header.majorVersion, 4);
  EXPECT_EQ(layout.fileSize, 3u * 4096);
}

TEST_F(CompoundTest, NamesAndElementsResultCodes) {
  auto root = Create(Path("names.cfb"));
  std::shared_ptr<Stream> s;
  std::shared_ptr<Storage> g;
  WriteAll(*NewStream(*root, "stream"), "abc");
  ASSERT_EQ(root->CreateStorage(U("storage"), kRW, &g), S_OK);
  g.reset();
  struct Case {
    const char* name;
    Result stream, storage;  // CreateStream and CreateStorage without STGM_CREATE
  } cases[] = {
      {"", STG_E_INVALIDNAME, STG_E_INVALIDNAME},
      {"0123456789012345678901234567890", S_OK, S_OK},  // 31 units: the longest name
      {"01234567890123456789012345678901", STG_E_INVALIDNAME, STG_E_INVALIDNAME},
      {"a/b", STG_E_INVALIDNAME, STG_E_INVALIDNAME},
      {"a\\b", STG_E_INVALIDNAME, STG_E_INVALIDNAME},
      {"a:b", STG_E_INVALIDNAME, STG_E_INVALIDNAME},
      {"a!b", STG_E_INVALIDNAME, STG_E_INVALIDNAME},
      {"STREAM", STG_E_FILEALREADYEXISTS, STG_E_FILEALREADYEXISTS},
      {"Storage", STG_E_FILEALREADYEXISTS, STG_E_FILEALREADYEXISTS},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(root->CreateStream(U(c.name), kRW, &s), c.stream) << c.name;
    s.reset();
    if (c.stream == S_OK) continue;  // the name is taken now
    EXPECT_EQ(root->CreateStorage(U(c.name), kRW, &g), c.storage) << c.name;
  }
  EXPECT_EQ(root->CreateStorage(U("0123456789012345678901234567891"), kRW, &g), S_OK);
  g.reset();
  // Missing elements, and elements of the other kind.
  EXPECT_EQ(root->OpenStream(U("nothing"), kRW, &s), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->OpenStorage(U("nothing"), kRW, &g), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->OpenStream(U("storage"), kRW, &s), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->OpenStorage(U("stream"), kRW, &g), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->OpenStream(U("a/b"), kRW, &s), STG_E_INVALIDNAME);
  // Flags the service does not take.
  EXPECT_EQ(root->OpenStream(U("stream"), STGM_READWRITE, &s), STG_E_INVALIDFLAG);
  EXPECT_EQ(root->OpenStream(U("stream"), STGM_READWRITE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, &s),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(root->OpenStream(U("stream"), kRW | STGM_TRANSACTED, &s), STG_E_INVALIDFLAG);
}

TEST_F(CompoundTest, AnElementOpensOnceAtATime) {
  auto root = Create(Path("once.cfb"));
  auto s = NewStream(*root, "s");
  std::shared_ptr<Storage> g;
  ASSERT_EQ(root->CreateStorage(U("g"), kRW, &g), S_OK);
  std::shared_ptr<Stream> s2;
  std::shared_ptr<Storage> g2;
  EXPECT_EQ(root->OpenStream(U("s"), kRW, &s2), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->OpenStream(U("S"), kRO, &s2), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->OpenStorage(U("g"), kRW, &g2), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->CreateStream(U("s"), STGM_CREATE | kRW, &s2), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->CreateStorage(U("g"), STGM_CREATE | kRW, &g2), STG_E_ACCESSDENIED);
  // A storage is busy while anything under it is open.
  auto inner = NewStream(*g, "inner");
  g.reset();
  EXPECT_EQ(root->CreateStorage(U("g"), STGM_CREATE | kRW, &g2), STG_E_ACCESSDENIED);
  s.reset();
  inner.reset();
  EXPECT_EQ(root->OpenStream(U("s"), kRW, &s2), S_OK);
  EXPECT_EQ(root->OpenStorage(U("g"), kRW, &g2), S_OK);
}

// Replacing with STGM_CREATE: a stream comes back empty, a storage comes back empty and what it
// held is given back to the file.
TEST_F(CompoundTest, ReplacingElements) {
  const std::string path = Path("replace.cfb");
  auto root = Create(path, 3);
  WriteAll(*NewStream(*root, "s"), Pattern(20000, 1));
  {
    std::shared_ptr<Storage> g;
    ASSERT_EQ(root->CreateStorage(U("g"), kRW, &g), S_OK);
    WriteAll(*NewStream(*g, "big"), Pattern(30000, 2));
    WriteAll(*NewStream(*g, "small"), Pattern(300, 3));
    std::shared_ptr<Storage> h;
    ASSERT_EQ(g->CreateStorage(U("h"), kRW, &h), S_OK);
    WriteAll(*NewStream(*h, "x"), "x");
  }
  auto s = NewStream(*root, "s");
  ElementStat st;
  ASSERT_EQ(s->Stat(&st), S_OK);
  EXPECT_EQ(st.size, 0u);
  s.reset();
  std::shared_ptr<Storage> g;
  ASSERT_EQ(root->CreateStorage(U("g"), STGM_CREATE | kRW, &g), S_OK);
  EXPECT_TRUE(Names(*g).empty());
  std::shared_ptr<Stream> t;
  ASSERT_EQ(root->CreateStream(U("G"), STGM_CREATE | kRW, &t), STG_E_ACCESSDENIED);  // g is open
  g.reset();
  ASSERT_EQ(root->CreateStream(U("G"), STGM_CREATE | kRW, &t), S_OK);  // a storage replaced by a stream
  WriteAll(*t, "now a stream");
  t.reset();
  root.reset();
  FileLayout layout;
  ASSERT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(CheckTrees(layout), "");
  size_t live = 0, usedMini = 0;
  for (const RawDirEntry& e : layout.entries) live += e.type != 0;
  for (uint32_t v : layout.miniFat) usedMini += v != 0xFFFFFFFF;
  EXPECT_EQ(live, 3u);      // root, "s", "G"
  EXPECT_EQ(usedMini, 1u);  // "now a stream"
  size_t usedSectors = 0;
  for (uint32_t v : layout.fat) usedSectors += v != 0xFFFFFFFF;
  // FAT, directory, mini FAT, mini stream: the 50 KB of replaced streams went back.
  EXPECT_EQ(usedSectors, layout.fatSectors.size() + layout.dirSectors.size() + 2);
  root = OpenRW(path);
  EXPECT_EQ(ReadAll(*OpenS(*root, "g")), "now a stream");
}

TEST_F(CompoundTest, SharingBetweenOpeners) {
  const std::string path = Path("shared.cfb");
  auto root = Create(path);
  WriteAll(*NewStream(*root, "s"), "content");
  std::shared_ptr<Storage> second;
  EXPECT_EQ(OpenDocfile(path, kRW, &second), STG_E_SHAREVIOLATION);
  EXPECT_EQ(OpenDocfile(path, STGM_READ | STGM_SHARE_DENY_WRITE, &second), STG_E_SHAREVIOLATION);
  root.reset();
  // Readers that deny writers may share the file; a writer then has to wait.
  const uint32_t reader = STGM_READ | STGM_SHARE_DENY_WRITE;
  std::shared_ptr<Storage> r1, r2, w;
  ASSERT_EQ(OpenDocfile(path, reader, &r1), S_OK);
  ASSERT_EQ(OpenDocfile(path, reader, &r2), S_OK);
  EXPECT_EQ(OpenDocfile(path, kRW, &w), STG_E_SHAREVIOLATION);
  EXPECT_EQ(OpenDocfile(path, STGM_READ | STGM_SHARE_EXCLUSIVE, &w), STG_E_SHAREVIOLATION);
  EXPECT_EQ(ReadAll(*OpenS(*r1, "s", kRO)), "content");
  EXPECT_EQ(ReadAll(*OpenS(*r2, "s", kRO)), "content");
  r1.reset();
  r2.reset();
  EXPECT_EQ(OpenDocfile(path, kRW, &w), S_OK);
}

TEST_F(CompoundTest, ReadOnlyOpensNeitherWriteNorChangeTheFile) {
  const std::string path = Path("ro.cfb");
  {
    auto root = Create(path, 3);
    WriteAll(*NewStream(*root, "s"), Pattern(5000, 1));
    std::shared_ptr<Storage> g;
    ASSERT_EQ(root->CreateStorage(U("g"), kRW, &g), S_OK);
  }
  const std::string before = FileBytes(path);
  {
    std::shared_ptr<Storage> root;
    ASSERT_EQ(OpenDocfile(path, STGM_READ | STGM_SHARE_EXCLUSIVE, &root), S_OK);
    std::shared_ptr<Stream> s;
    std::shared_ptr<Storage> g;
    EXPECT_EQ(root->CreateStream(U("new"), kRW, &s), STG_E_ACCESSDENIED);
    EXPECT_EQ(root->CreateStorage(U("new"), kRW, &g), STG_E_ACCESSDENIED);
    EXPECT_EQ(root->RenameElement(U("s"), U("t")), STG_E_ACCESSDENIED);
    EXPECT_EQ(root->OpenStream(U("s"), kRW, &s), STG_E_INVALIDFLAG);
    EXPECT_EQ(root->OpenStorage(U("g"), kRW, &g), STG_E_INVALIDFLAG);
    ASSERT_EQ(root->OpenStream(U("s"), kRO, &s), S_OK);
    uint32_t written = 99;
    EXPECT_EQ(s->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(s->SetSize(1), STG_E_ACCESSDENIED);
    EXPECT_EQ(ReadAll(*s), Pattern(5000, 1));
  }
  {
    // A stream opened for reading in a writable file is read-only too; one opened for writing
    // only cannot be read.
    auto root = OpenRW(path);
    auto s = OpenS(*root, "s", kRO);
    EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_ACCESSDENIED);
    s.reset();
    s = OpenS(*root, "s", STGM_WRITE | STGM_SHARE_EXCLUSIVE);
    char c;
    EXPECT_EQ(s->Read(&c, 1, nullptr), STG_E_ACCESSDENIED);
  }
  EXPECT_EQ(FileBytes(path), before);
}

}  // namespace
}  // namespace cfbtest
