#include <gtest/gtest.h>

#include <string>

#include "StorageTestUtil.h"
#include "engine/storage/ZyVirtualDisk.h"
#include "platform/framework/Exception.h"

namespace {

constexpr uint64_t kCreateDisk =
    zydVirtualCreate | zydVirtualFolderUnlisted | zydVirtualDiskReadWrite;
constexpr uint64_t kOpenDisk = zydVirtualDiskReadWrite;
constexpr uint64_t kExclusiveRW = zydVirtualFileExclusive | zydVirtualFileReadWrite;

class VirtualFolder : public ScratchFile {
 protected:
  void SetUp() override {
    ScratchFile::SetUp();
    disk_.Open(path_, kCreateDisk);
  }
  void TearDown() override {
    disk_.Close();
    ScratchFile::TearDown();
  }
  void Reopen() {
    disk_.Open(path_, kOpenDisk);
  }
  TZyVirtualDisk disk_;
};

TEST_F(VirtualFolder, UnlistedFolderHandsChildrenToTheCaller) {
  auto box = disk_.FolderCreate(u"Box");
  box->Open(zydVirtualFolderUnlisted);
  EXPECT_EQ(box->OpenModeGet(), zydVirtualFolderUnlisted);
  std::unique_ptr<TZyVirtualFile> kept;
  {
    auto sub = box->FolderCreate(u"Sub");
    auto file = box->FileCreate(u"F");
    EXPECT_FALSE(sub.IsListed());
    EXPECT_FALSE(file.IsListed());
    EXPECT_EQ(box->FolderCountGet(), 0);
    EXPECT_EQ(box->FileCountGet(), 0);
    kept = file.Release();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(file.Release(), nullptr);
  }
  kept->WriteBuffer("kept", 4);
  // The caller's open stream keeps the folder's storage in use: it cannot be opened afresh.
  EXPECT_EQ(ExpectSystemError([&] { box->Open(0); }, "IStorage.OpenStorage"),
            zycfb::STG_E_ACCESSDENIED);
  EXPECT_FALSE(box->IsOpen());
  kept.reset();
  // Reopened with listing, the same folder shows both children.
  box->Open(0);
  ASSERT_EQ(box->FolderCountGet(), 1);
  ASSERT_EQ(box->FileCountGet(), 1);
  EXPECT_EQ(box->FolderGet(0)->NameGet(), u"Sub");
  EXPECT_EQ(box->FileGet(0)->FileSizeGet(), 4);
}

TEST_F(VirtualFolder, ListedChildrenBelongToTheFolder) {
  auto tables = disk_.FolderCreate(u"Tables");
  tables->Open(0);
  auto a = tables->FileCreate(u"A");
  auto b = tables->FileCreate(u"B");
  EXPECT_TRUE(a.IsListed());
  EXPECT_EQ(a.Release(), nullptr);  // nothing to take: the folder owns it
  EXPECT_EQ(tables->FileCountGet(), 2);
  EXPECT_EQ(tables->FileGet(1), b.get());
  for (int32_t i : {-1, 2}) {
    try {
      tables->FileGet(i);
      ADD_FAILURE() << i;
    } catch (const zyfw::EListError& e) {
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(i) + ")");
    }
  }
  EXPECT_THROW(tables->FolderGet(0), zyfw::EListError);
  tables->Close();
  EXPECT_FALSE(tables->IsOpen());
  EXPECT_EQ(tables->FileCountGet(), 0);
}

TEST_F(VirtualFolder, FileSizeOfAnEnumeratedFileBeforeAndAfterOpening) {
  {
    auto f = disk_.FileCreate(u"S");
    std::string bytes(10000, 'q');
    f->WriteBuffer(bytes.data(), 10000);
  }
  Reopen();
  ASSERT_EQ(disk_.FileCountGet(), 1);
  TZyVirtualFile* f = disk_.FileGet(0);
  EXPECT_FALSE(f->IsOpen());
  EXPECT_EQ(f->FileSizeGet(), 10000);
  f->Open(kExclusiveRW);
  EXPECT_EQ(f->FileSizeGet(), 10000);
  f->Seek(0, zyfw::soFromEnd);
  f->WriteBuffer("tail", 4);
  f->PositionSet(123);
  EXPECT_EQ(f->FileSizeGet(), 10004);
  EXPECT_EQ(f->Position(), 123);
  // Closed again, it answers from the enumeration it was made from.
  f->Close();
  EXPECT_EQ(f->FileSizeGet(), 10000);
}

TEST_F(VirtualFolder, AStreamOpensExclusivelyOnlyOnce) {
  disk_.FileCreate(u"X")->Close();
  std::unique_ptr<TZyVirtualFile> first = disk_.FileOpen(u"X", kExclusiveRW);
  ASSERT_TRUE(first->IsOpen());
  std::shared_ptr<zycfb::Stream> direct;
  const zycfb::Result expected = disk_.StorageGet()->OpenStream(
      u"X", zycfb::STGM_SHARE_EXCLUSIVE | zycfb::STGM_READWRITE, &direct);
  ASSERT_TRUE(zycfb::Failed(expected));
  EXPECT_EQ(ExpectSystemError([&] { disk_.FileOpen(u"X", kExclusiveRW); }, "IStorage.OpenStream"),
            expected);
  // Released, it opens again.
  first.reset();
  EXPECT_TRUE(disk_.FileOpen(u"X", zydVirtualFileExclusive | zydVirtualFileRead)->IsOpen());
}

TEST_F(VirtualFolder, ServiceRefusalsRaiseWithTheCallName) {
  EXPECT_EQ(ExpectSystemError([&] { disk_.FileOpen(u"missing", kExclusiveRW); },
                              "IStorage.OpenStream"),
            zycfb::STG_E_FILENOTFOUND);
  const std::u16string tooLong(32, u'n');
  ExpectSystemError([&] { disk_.FileCreate(tooLong); }, "IStorage.CreateStream");
  ExpectSystemError([&] { disk_.FolderCreate(tooLong); }, "IStorage.CreateStorage");
  EXPECT_EQ(disk_.FileCountGet(), 0);
  EXPECT_EQ(disk_.FolderCountGet(), 0);
  // Storages are never replaced.
  disk_.FolderCreate(u"Twice");
  EXPECT_EQ(ExpectSystemError([&] { disk_.FolderCreate(u"Twice"); }, "IStorage.CreateStorage"),
            zycfb::STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(disk_.FolderCountGet(), 1);
  // An unopened folder cannot be listed into.
  TZyVirtualFolder* twice = disk_.FolderGet(0);
  ExpectSystemError([&] { twice->FileCreate(u"f"); }, "IStorage.CreateStream");
  TZyVirtualFolder ghost(disk_.StorageGet(), nullptr, u"Ghost", 0);
  ExpectSystemError([&] { ghost.Open(0); }, "IStorage.OpenStorage");
}

TEST_F(VirtualFolder, CreatingAStreamReplacesOneOfThatName) {
  disk_.FileCreate(u"V")->WriteBuffer("first value", 11);
  disk_.FileGet(0)->Close();
  disk_.FileCreate(u"V")->WriteBuffer("2nd", 3);
  disk_.FileGet(1)->Close();
  Reopen();
  ASSERT_EQ(disk_.FileCountGet(), 1);
  EXPECT_EQ(disk_.FileGet(0)->FileSizeGet(), 3);
}

TEST_F(VirtualFolder, RenameAFolder) {
  auto a = disk_.FolderCreate(u"A");
  disk_.FolderCreate(u"B");
  a->FolderRename(u"C", u"A");
  EXPECT_EQ(a->NameGet(), u"C");
  a->Open(0);  // under its new name
  a->Close();
  EXPECT_EQ(ExpectSystemError([&] { a->FolderRename(u"B", u"C"); }, "IStorage.RenameElement"),
            zycfb::STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(a->NameGet(), u"C");
  // Renaming a sibling leaves this folder's name alone.
  a->FolderRename(u"D", u"B");
  EXPECT_EQ(a->NameGet(), u"C");
  Reopen();
  ASSERT_EQ(disk_.FolderCountGet(), 2);
  EXPECT_EQ(disk_.FolderGet(0)->NameGet(), u"C");
  EXPECT_EQ(disk_.FolderGet(1)->NameGet(), u"D");
}

}  // namespace
