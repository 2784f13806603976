#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "StorageTestUtil.h"
#include "engine/storage/ZyVirtualDisk.h"
#include "platform/compound/Compound.h"

namespace {

constexpr uint64_t kCreateDisk =
    zydVirtualCreate | zydVirtualFolderUnlisted | zydVirtualDiskReadWrite;
constexpr uint64_t kOpenDisk = zydVirtualDiskReadWrite;
constexpr uint64_t kTableStream = zydVirtualFileExclusive | zydVirtualFileReadWrite;
constexpr uint64_t kValueStream = zydVirtualFileExclusive | zydVirtualFileRead;

std::string ReadAll(TZyVirtualFile& f) {
  std::string s(static_cast<size_t>(f.FileSizeGet()), '\0');
  f.PositionSet(0);
  f.ReadBuffer(&s[0], static_cast<int32_t>(s.size()));
  return s;
}

using VirtualDisk = ScratchFile;

// The layout a database uses: a listed "Tables" folder and an unlisted "Data" folder.
TEST_F(VirtualDisk, DatabaseLayoutSurvivesReopening) {
  {
    TZyVirtualDisk disk;
    disk.Open(path_, kCreateDisk);
    EXPECT_TRUE(disk.IsOpen());
    EXPECT_EQ(disk.NameGet(), u"Root");
    EXPECT_EQ(disk.FileNameGet(), path_);
    EXPECT_EQ(disk.FolderCountGet(), 0);

    auto tables = disk.FolderCreate(u"Tables");
    ASSERT_TRUE(tables.IsListed());
    EXPECT_FALSE(tables->IsOpen());
    tables->Open(0);
    auto t1 = tables->FileCreate(u"T1");
    ASSERT_TRUE(t1.IsListed());
    EXPECT_TRUE(t1->IsOpen());
    t1->WriteBuffer("table one", 9);

    auto data = disk.FolderCreate(u"Data");
    data->Open(zydVirtualFolderUnlisted);
    {
      auto v = data->FileCreate(u"1");
      EXPECT_FALSE(v.IsListed());
      v->WriteBuffer("value", 5);
    }
    EXPECT_EQ(disk.FolderCountGet(), 2);
    EXPECT_EQ(data->FileCountGet(), 0);
  }
  TZyVirtualDisk disk;
  disk.Open(path_, kOpenDisk);
  ASSERT_EQ(disk.FolderCountGet(), 2);
  EXPECT_EQ(disk.FileCountGet(), 0);
  // The service lists shorter names first.
  EXPECT_EQ(disk.FolderGet(0)->NameGet(), u"Data");
  EXPECT_EQ(disk.FolderGet(1)->NameGet(), u"Tables");
  EXPECT_FALSE(disk.FolderGet(0)->IsOpen());

  TZyVirtualFolder* tables = disk.FolderGet(1);
  tables->Open(0);
  ASSERT_EQ(tables->FileCountGet(), 1);
  TZyVirtualFile* t1 = tables->FileGet(0);
  EXPECT_EQ(t1->NameGet(), u"T1");
  EXPECT_FALSE(t1->IsOpen());
  EXPECT_EQ(t1->FileSizeGet(), 9);  // from the enumeration
  t1->Open(kTableStream);
  EXPECT_EQ(ReadAll(*t1), "table one");

  TZyVirtualFolder* data = disk.FolderGet(0);
  data->Open(zydVirtualFolderUnlisted);
  EXPECT_EQ(data->FileCountGet(), 0);  // there, but not listed
  std::unique_ptr<TZyVirtualFile> v = data->FileOpen(u"1", kValueStream);
  EXPECT_EQ(ReadAll(*v), "value");
}

TEST_F(VirtualDisk, CreatingOverAnExistingFileReplacesIt) {
  {
    std::ofstream junk(path_, std::ios::binary);
    junk << std::string(5000, 'j');
  }
  {
    TZyVirtualDisk disk;
    disk.Open(path_, kCreateDisk);
    disk.FolderCreate(u"Old");
    EXPECT_EQ(disk.FolderCountGet(), 1);
  }
  {
    TZyVirtualDisk disk;
    disk.Open(path_, kCreateDisk);
    EXPECT_EQ(disk.FolderCountGet(), 0);
  }
  TZyVirtualDisk disk;
  disk.Open(path_, kOpenDisk);
  EXPECT_EQ(disk.FolderCountGet(), 0);
  EXPECT_EQ(disk.FileCountGet(), 0);
}

TEST_F(VirtualDisk, FilesThatCannotBeOpened) {
  TZyVirtualDisk disk;
  // No such file.
  EXPECT_EQ(ExpectSystemError([&] { disk.Open(path_, kOpenDisk); }, "StgOpenStorage"),
            zycfb::STG_E_FILENOTFOUND);
  EXPECT_FALSE(disk.IsOpen());
  // Not a compound file.
  {
    std::ofstream junk(path_, std::ios::binary);
    junk << std::string(1000, 'x');
  }
  ExpectSystemError([&] { disk.Open(path_, kOpenDisk); }, "StgOpenStorage");
  EXPECT_EQ(disk.LastResultGet() & 0x80000000u, 0x80000000u);
  // A compound file without "Root".
  {
    std::shared_ptr<zycfb::Storage> root;
    ASSERT_EQ(zycfb::CreateDocfile(path_,
                                   zycfb::STGM_CREATE | zycfb::STGM_SHARE_EXCLUSIVE |
                                       zycfb::STGM_READWRITE,
                                   &root),
              zycfb::S_OK);
  }
  ExpectSystemError([&] { disk.Open(path_, kOpenDisk); }, "IStorage.OpenStorage");
  EXPECT_FALSE(disk.IsOpen());
  // The failed attempt let go of the file.
  std::shared_ptr<zycfb::Storage> root;
  EXPECT_EQ(zycfb::OpenDocfile(path_, zycfb::STGM_SHARE_EXCLUSIVE | zycfb::STGM_READWRITE, &root),
            zycfb::S_OK);
}

TEST_F(VirtualDisk, AnOpenFileRefusesASecondOpener) {
  TZyVirtualDisk first;
  first.Open(path_, kCreateDisk);
  std::shared_ptr<zycfb::Storage> direct;
  const zycfb::Result expected =
      zycfb::OpenDocfile(path_, zycfb::STGM_SHARE_EXCLUSIVE | zycfb::STGM_READWRITE, &direct);
  ASSERT_TRUE(zycfb::Failed(expected));
  TZyVirtualDisk second;
  EXPECT_EQ(ExpectSystemError([&] { second.Open(path_, kOpenDisk); }, "StgOpenStorage"), expected);
  EXPECT_TRUE(first.IsOpen());
}

TEST_F(VirtualDisk, FormatVersionOfANewFile) {
  for (int version : {3, 4}) {
    {
      TZyVirtualDisk disk;
      disk.Open(path_, kCreateDisk, version);
    }
    std::ifstream in(path_, std::ios::binary);
    unsigned char header[0x1C] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    EXPECT_EQ(header[0x1A] | header[0x1B] << 8, version);
    TZyVirtualDisk disk;
    disk.Open(path_, kOpenDisk);
  }
  TZyVirtualDisk disk;
  ExpectSystemError([&] { disk.Open(path_, kCreateDisk, 5); }, "StgCreateDocFile");
}

TEST_F(VirtualDisk, ReopeningTheDiskStartsAfresh) {
  TZyVirtualDisk disk;
  disk.Open(path_, kCreateDisk);
  disk.FolderCreate(u"A");
  disk.Open(path_, kOpenDisk);  // the same object, the same (its own) file
  EXPECT_EQ(disk.FolderCountGet(), 1);
  disk.Open(0);  // and once more as a folder: the listing is not doubled
  EXPECT_EQ(disk.FolderCountGet(), 1);
}

}  // namespace
