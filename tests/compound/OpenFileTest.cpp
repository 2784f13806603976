// What another reader of the file sees while a writer still has it open: every write, the new
// size of the stream included, is in the file when the call returns (a stream's size is stored
// through a mapping of its directory page, the rest written with pwrite), whatever directory
// sector the entry lives in and wherever a tree change moves it. And the mappings last exactly
// as long as the file is open for writing.
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "tests/compound/TestUtil.h"

namespace cfbtest {
namespace {

class OpenFileTest : public CompoundTest, public ::testing::WithParamInterface<int> {};

INSTANTIATE_TEST_SUITE_P(Both, OpenFileTest, ::testing::Values(3, 4));

// The stream `name` read from the raw file through its directory entry and chains, without the
// service (and without its lock).
std::string RawStream(const std::string& path, const std::string& name) {
  FileLayout layout;
  EXPECT_EQ(InspectFile(path, &layout), S_OK);
  EXPECT_EQ(CheckTrees(layout), "");
  auto e = std::find_if(layout.entries.begin(), layout.entries.end(), [&](const RawDirEntry& x) {
    return x.type == 2 && Utf16ToUtf8(x.name) == name;
  });
  if (e == layout.entries.end()) {
    ADD_FAILURE() << "no entry " << name;
    return "";
  }
  const uint64_t size = layout.header.majorVersion == 3 ? (e->size & 0xFFFFFFFF) : e->size;
  const uint32_t sector = layout.sectorSize;
  std::string out(size_t(size), '\0');
  std::vector<uint32_t> chain, mini;
  if (size == 0) return out;
  if (size < 4096) {
    EXPECT_EQ(ChainOf(layout.miniFat, e->start, &chain), S_OK);
    EXPECT_EQ(ChainOf(layout.fat, layout.entries[0].start, &mini), S_OK);
    for (size_t i = 0; i * 64 < size && i < chain.size(); ++i) {
      const uint64_t at = uint64_t(chain[i]) * 64;
      EXPECT_LT(at / sector, mini.size());
      if (at / sector >= mini.size()) break;
      EXPECT_EQ(ReadSectorBytes(path, layout, mini[at / sector], uint32_t(at % sector),
                                &out[i * 64], std::min<size_t>(64, size - i * 64)), S_OK);
    }
  } else {
    EXPECT_EQ(ChainOf(layout.fat, e->start, &chain), S_OK);
    for (size_t i = 0; uint64_t(i) * sector < size && i < chain.size(); ++i)
      EXPECT_EQ(ReadSectorBytes(path, layout, chain[i], 0, &out[i * sector],
                                std::min<size_t>(sector, size - uint64_t(i) * sector)), S_OK);
  }
  return out;
}

// Appends records to a stream while the directory grows around it, shrinks the stream now and
// then, and renames its siblings so that tree rotations move its entry; after every call the raw
// file holds exactly what the stream holds. A new version 3 file is smaller than a memory page,
// so its first sizes go out with pwrite and later ones through the mapping.
TEST_P(OpenFileTest, EveryWriteIsInTheFileWhenTheCallReturns) {
  const std::string path = Path("open.cfb");
  auto root = Create(path, GetParam());
  ASSERT_TRUE(root);
  auto log = NewStream(*root, "log");
  std::string model;
  for (uint32_t i = 0; i < 240; ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    const std::string record = Pattern(100, i + 7);
    WriteAll(*log, record);
    model += record;
    if (i % 60 == 59) {
      // Shrinking stores the smaller size the same way; then appends continue after it.
      model.resize(model.size() - 250);
      ASSERT_EQ(log->SetSize(model.size()), S_OK);
      ASSERT_EQ(log->Seek(0, STREAM_SEEK_END, nullptr), S_OK);
    }
    if (i % 6 == 0) WriteAll(*NewStream(*root, "s" + std::to_string(i / 6)), Pattern(10, i));
    if (i % 20 == 10) {
      const std::string k = std::to_string(i / 20);
      ASSERT_EQ(root->RenameElement(U("s" + k), U("renamed" + k)), S_OK);
    }
    ASSERT_EQ(RawStream(path, "log"), model);
  }
  // An overwrite in place, inside the stream, changes no size and is there as well.
  ASSERT_EQ(log->Seek(150, STREAM_SEEK_SET, nullptr), S_OK);
  WriteAll(*log, "overwritten");
  model.replace(150, 11, "overwritten");
  EXPECT_EQ(RawStream(path, "log"), model);
  log.reset();
  root.reset();
  root = OpenRW(path);
  EXPECT_EQ(ReadAll(*OpenS(*root, "log")), model);
}

// Shared mappings of `path` in this process: {all, writable}.
std::pair<int, int> MappingsOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {-1, -1};
  std::ifstream maps("/proc/self/maps");
  std::string line;
  int all = 0, writable = 0;
  while (std::getline(maps, line)) {
    std::istringstream in(line);
    std::string range, perms, offset, dev;
    unsigned long inode = 0;
    in >> range >> perms >> offset >> dev >> inode;
    unsigned maj = 0, min = 0;
    if (std::sscanf(dev.c_str(), "%x:%x", &maj, &min) != 2) continue;
    if (inode != st.st_ino || maj != major(st.st_dev) || min != minor(st.st_dev)) continue;
    ++all;
    if (perms.size() > 1 && perms[1] == 'w') ++writable;
  }
  return {all, writable};
}

// The service maps directory pages only on filesystems that overwrite in place.
bool MapsOn(const std::string& path) {
  struct statfs fs;
  if (::statfs(path.c_str(), &fs) != 0) return false;
  const auto type = static_cast<unsigned long>(fs.f_type);
  return type == EXT4_SUPER_MAGIC || type == XFS_SUPER_MAGIC || type == TMPFS_MAGIC;
}

TEST_P(OpenFileTest, MappingsLastWhileTheFileIsOpenForWriting) {
  const std::string path = Path("maps.cfb");
  const std::string big = Pattern(20000, 3);
  {
    auto root = Create(path, GetParam());
    ASSERT_TRUE(root);
    auto s = NewStream(*root, "data");
    WriteAll(*s, big);
    WriteAll(*s, "more");
    const std::pair<int, int> open = MappingsOf(path);
    if (MapsOn(path)) {
      EXPECT_GE(open.first, 1);
      EXPECT_EQ(open.first, open.second);
    } else {
      EXPECT_EQ(open.first, 0);
    }
    // A handle released while the file stays open keeps the file's mappings.
    s.reset();
    EXPECT_EQ(MappingsOf(path), open);
  }
  EXPECT_EQ(MappingsOf(path), std::make_pair(0, 0)) << "released with the file";
  {
    std::shared_ptr<Storage> root;
    ASSERT_EQ(OpenDocfile(path, kRO, &root), S_OK);
    EXPECT_EQ(ReadAll(*OpenS(*root, "data", kRO)), big + "more");
    EXPECT_EQ(MappingsOf(path), std::make_pair(0, 0)) << "a read-only file maps nothing";
  }
  {
    auto root = OpenRW(path);
    ASSERT_TRUE(root);
    auto s = OpenS(*root, "data");
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_END, nullptr), S_OK);
    WriteAll(*s, "again");
    if (MapsOn(path)) {
      EXPECT_GE(MappingsOf(path).second, 1) << "mapped again after reopening";
    }
  }
  EXPECT_EQ(MappingsOf(path), std::make_pair(0, 0));
}

}  // namespace
}  // namespace cfbtest
