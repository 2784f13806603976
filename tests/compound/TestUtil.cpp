#include "tests/compound/TestUtil.h"

#include <fstream>
#include <sstream>
#include <stdlib.h>

#include <filesystem>

namespace cfbtest {

void CompoundTest::SetUp() {
  std::string base = ::testing::TempDir() + "cfbtestXXXXXX";
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  ASSERT_NE(mkdtemp(buf.data()), nullptr);
  dir_ = buf.data();
}

void CompoundTest::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::u16string U(const std::string& s) { return Utf8ToUtf16(s); }

std::string Hex(Result r) {
  char buf[16];
  snprintf(buf, sizeof buf, "0x%08X", r);
  return buf;
}

std::string Pattern(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345;
    out[i] = char(x >> 16);
  }
  return out;
}

std::shared_ptr<Storage> Create(const std::string& path, int version) {
  std::shared_ptr<Storage> root;
  CreateOptions options;
  options.version = version;
  Result r = CreateDocfile(path, STGM_CREATE | kRW, &root, options);
  EXPECT_EQ(r, S_OK) << Hex(r);
  return root;
}

std::shared_ptr<Storage> OpenRW(const std::string& path) {
  std::shared_ptr<Storage> root;
  Result r = OpenDocfile(path, kRW, &root);
  EXPECT_EQ(r, S_OK) << Hex(r);
  return root;
}

std::shared_ptr<Stream> NewStream(Storage& parent, const std::string& name) {
  std::shared_ptr<Stream> s;
  Result r = parent.CreateStream(U(name), STGM_CREATE | kRW, &s);
  EXPECT_EQ(r, S_OK) << name << " " << Hex(r);
  return s;
}

std::shared_ptr<Stream> OpenS(Storage& parent, const std::string& name, uint32_t mode) {
  std::shared_ptr<Stream> s;
  Result r = parent.OpenStream(U(name), mode, &s);
  EXPECT_EQ(r, S_OK) << name << " " << Hex(r);
  return s;
}

void WriteAll(Stream& s, const std::string& data) {
  uint32_t written = 0;
  Result r = s.Write(data.data(), uint32_t(data.size()), &written);
  ASSERT_EQ(r, S_OK) << Hex(r);
  ASSERT_EQ(written, data.size());
}

std::string ReadAll(Stream& s) {
  ElementStat st;
  EXPECT_EQ(s.Stat(&st), S_OK);
  EXPECT_EQ(s.Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  std::string out(size_t(st.size), '\0');
  uint32_t read = 0;
  Result r = s.Read(&out[0], uint32_t(out.size()), &read);
  EXPECT_EQ(r, S_OK) << Hex(r);
  out.resize(read);
  return out;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void SetFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<std::string> Names(Storage& storage) {
  std::vector<ElementStat> list;
  EXPECT_EQ(storage.EnumElements(&list), S_OK);
  std::vector<std::string> out;
  for (const ElementStat& e : list) out.push_back(Utf16ToUtf8(e.name));
  return out;
}

namespace {

// Sibling order, written out again here for ASCII names: length first, then upper-cased units.
int Order(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i] >= u'a' && a[i] <= u'z' ? char16_t(a[i] - 32) : a[i];
    char16_t y = b[i] >= u'a' && b[i] <= u'z' ? char16_t(b[i] - 32) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

struct Checker {
  const FileLayout& layout;
  std::vector<uint8_t> seen;
  std::string error;

  // Returns the black height of the subtree at n, or -1 after recording an error.
  int Walk(uint32_t n, const std::u16string* low, const std::u16string* high, bool parentRed,
           std::vector<uint32_t>* storages) {
    if (n == 0xFFFFFFFF) return 1;
    if (n >= layout.entries.size()) return Fail("entry out of range: " + std::to_string(n));
    if (seen[n]) return Fail("entry reached twice: " + std::to_string(n));
    seen[n] = 1;
    const RawDirEntry& e = layout.entries[n];
    if (e.type != 1 && e.type != 2) return Fail("bad type in tree at " + std::to_string(n));
    if (e.color > 1) return Fail("bad colour at " + std::to_string(n));
    if ((low && Order(*low, e.name) >= 0) || (high && Order(e.name, *high) >= 0))
      return Fail("out of order: " + Utf16ToUtf8(e.name));
    bool red = e.color == 0;
    if (red && parentRed) return Fail("red entry under red entry: " + Utf16ToUtf8(e.name));
    if (e.type == 1) storages->push_back(n);
    int l = Walk(e.left, low, &e.name, red, storages);
    if (l < 0) return -1;
    int r = Walk(e.right, &e.name, high, red, storages);
    if (r < 0) return -1;
    if (l != r) return Fail("unequal black heights under " + Utf16ToUtf8(e.name));
    return l + (red ? 0 : 1);
  }
  int Fail(const std::string& what) {
    if (error.empty()) error = what;
    return -1;
  }
};

}  // namespace

std::string CheckTrees(const FileLayout& layout) {
  Checker c{layout, std::vector<uint8_t>(layout.entries.size(), 0), ""};
  if (layout.entries.empty() || layout.entries[0].type != 5) return "no root entry";
  std::vector<uint32_t> storages{0};
  c.seen[0] = 1;
  for (size_t i = 0; i < storages.size() && c.error.empty(); ++i) {
    uint32_t top = layout.entries[storages[i]].child;
    if (top != 0xFFFFFFFF && top < layout.entries.size() && layout.entries[top].color == 0)
      return "red top under " + Utf16ToUtf8(layout.entries[storages[i]].name);
    c.Walk(top, nullptr, nullptr, false, &storages);
  }
  if (!c.error.empty()) return c.error;
  for (size_t i = 0; i < layout.entries.size(); ++i) {
    const RawDirEntry& e = layout.entries[i];
    if (!c.seen[i] && e.type != 0) return "allocated entry not in any tree: " + std::to_string(i);
    if (e.type == 0 && (e.left != 0xFFFFFFFF || e.right != 0xFFFFFFFF || e.child != 0xFFFFFFFF ||
                        e.nameLength != 0 || e.size != 0 || e.start != 0))
      return "free entry not cleared: " + std::to_string(i);
  }
  return "";
}

}  // namespace cfbtest
