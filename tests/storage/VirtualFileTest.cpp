#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "StorageTestUtil.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/storage/ZyVirtualDisk.h"
#include "platform/framework/Exception.h"

namespace {

constexpr uint64_t kCreateDisk =
    zydVirtualCreate | zydVirtualFolderUnlisted | zydVirtualDiskReadWrite;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i % 251);
  return v;
}

class VirtualFile : public ScratchFile {
 protected:
  void SetUp() override {
    ScratchFile::SetUp();
    disk_.Open(path_, kCreateDisk);
    file_ = disk_.FileCreate(u"S").get();
  }
  TZyVirtualDisk disk_;
  TZyVirtualFile* file_ = nullptr;
};

TEST_F(VirtualFile, ReadsWritesAndSeeksLikeAnyStream) {
  const auto data = Pattern(10000);
  EXPECT_EQ(file_->Write(data.data(), 10000), 10000);
  EXPECT_EQ(file_->Position(), 10000);
  EXPECT_EQ(file_->Size(), 10000);
  EXPECT_EQ(file_->HugeSeek(100, zyfw::soFromBeginning), 100);
  EXPECT_EQ(file_->Seek(-50, zyfw::soFromCurrent), 50);
  EXPECT_EQ(file_->Seek(-10, zyfw::soFromEnd), 9990);
  uint8_t buf[64];
  // At the end a read moves what there is, without failing.
  EXPECT_EQ(file_->Read(buf, 64), 10);
  EXPECT_EQ(0, std::memcmp(buf, data.data() + 9990, 10));
  EXPECT_EQ(file_->Read(buf, 64), 0);
  EXPECT_THROW(file_->ReadBuffer(buf, 1), zyfw::EReadError);
  EXPECT_EQ(file_->Read(buf, 0), 0);
  EXPECT_EQ(file_->Read(buf, -3), 0);
  EXPECT_EQ(file_->LastResultGet(), 0u);
}

TEST_F(VirtualFile, PositionsBeyondFourGigabytes) {
  const int64_t far = (int64_t{5} << 30) + 7;
  EXPECT_EQ(file_->HugeSeek(far, zyfw::soFromBeginning), far);
  EXPECT_EQ(file_->Position(), far);
  EXPECT_EQ(file_->Size(), 0);  // seeking writes nothing
  // A move before the start is refused and leaves the position.
  EXPECT_EQ(file_->HugeSeek(-1, zyfw::soFromBeginning), -1);
  EXPECT_TRUE(zycfb::Failed(file_->LastResultGet()));
  EXPECT_EQ(file_->Position(), far);
}

TEST_F(VirtualFile, SetSizeGrowsWithZerosAndShrinks) {
  file_->WriteBuffer("abcdef", 6);
  file_->SetSize(3);
  EXPECT_EQ(file_->FileSizeGet(), 3);
  file_->SetSize(8);
  EXPECT_EQ(file_->FileSizeGet(), 8);
  file_->PositionSet(0);
  char buf[8];
  file_->ReadBuffer(buf, 8);
  EXPECT_EQ(std::string(buf, 8), std::string("abc\0\0\0\0\0", 8));
  file_->SetSize(-1);  // ignored
  EXPECT_EQ(file_->FileSizeGet(), 8);
}

TEST_F(VirtualFile, CopiesFromOtherStreams) {
  const auto data = Pattern(300000);
  zyfw::TMemoryStream source;
  source.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  EXPECT_EQ(file_->CopyFrom(source, 0), 300000);
  zyfw::TMemoryStream back;
  file_->PositionSet(0);
  back.CopyFrom(*file_, 0);
  EXPECT_EQ(back.Bytes(), data);
}

TEST_F(VirtualFile, AClosedFileRaisesOnReadAndWrite) {
  file_->Close();
  EXPECT_FALSE(file_->IsOpen());
  char buf[4];
  EXPECT_EQ(ExpectSystemError([&] { file_->Read(buf, 4); }, "IStream.Read"),
            zycfb::STG_E_INVALIDHANDLE);
  EXPECT_EQ(ExpectSystemError([&] { file_->Write(buf, 4); }, "IStream.Write"),
            zycfb::STG_E_INVALIDHANDLE);
  EXPECT_EQ(file_->HugeSeek(0, zyfw::soFromBeginning), -1);
  file_->SetSize(10);  // nothing to resize; no effect and no crash
  EXPECT_EQ(file_->FileSizeGet(), 0);
}

// ---- Against a service that fails on purpose ----------------------------------------------------

class FailingStream : public zycfb::Stream {
 public:
  zycfb::Result readResult = zycfb::S_OK, writeResult = zycfb::S_OK;
  zycfb::Result Read(void*, uint32_t count, uint32_t* read) override {
    if (read) *read = readResult == zycfb::S_OK ? count / 2 : 0;
    return readResult;
  }
  zycfb::Result Write(const void*, uint32_t count, uint32_t* written) override {
    if (written) *written = writeResult == zycfb::S_OK ? count : 0;
    return writeResult;
  }
  zycfb::Result Seek(int64_t, uint32_t, uint64_t* p) override {
    if (p) *p = 0;
    return zycfb::S_OK;
  }
  zycfb::Result SetSize(uint64_t) override { return zycfb::STG_E_MEDIUMFULL; }
  zycfb::Result Stat(zycfb::ElementStat*) override { return zycfb::S_OK; }
};

class OneStreamStorage : public zycfb::Storage {
 public:
  std::shared_ptr<FailingStream> stream = std::make_shared<FailingStream>();
  uint32_t lastMode = 0xFFFFFFFF;
  zycfb::Result CreateStorage(const std::u16string&, uint32_t, std::shared_ptr<Storage>*) override {
    return zycfb::STG_E_ACCESSDENIED;
  }
  zycfb::Result OpenStorage(const std::u16string&, uint32_t, std::shared_ptr<Storage>*) override {
    return zycfb::STG_E_FILENOTFOUND;
  }
  zycfb::Result CreateStream(const std::u16string&, uint32_t mode,
                             std::shared_ptr<zycfb::Stream>* out) override {
    lastMode = mode;
    *out = stream;
    return zycfb::S_OK;
  }
  zycfb::Result OpenStream(const std::u16string&, uint32_t mode,
                           std::shared_ptr<zycfb::Stream>* out) override {
    lastMode = mode;
    *out = stream;
    return zycfb::S_OK;
  }
  zycfb::Result EnumElements(std::vector<zycfb::ElementStat>*) override { return zycfb::S_OK; }
  zycfb::Result RenameElement(const std::u16string&, const std::u16string&) override {
    return zycfb::S_OK;
  }
  zycfb::Result Stat(zycfb::ElementStat*) override { return zycfb::S_OK; }
};

TEST(VirtualFileService, FailedReadsAndWritesRaiseInsteadOfComingUpShort) {
  auto storage = std::make_shared<OneStreamStorage>();
  TZyVirtualFile f(storage, nullptr, u"s", zydVirtualCreate);
  char buf[16];
  EXPECT_EQ(f.Read(buf, 16), 8);  // a short read that succeeds is just short
  storage->stream->readResult = zycfb::STG_E_READFAULT;
  EXPECT_EQ(ExpectSystemError([&] { f.Read(buf, 16); }, "IStream.Read"), zycfb::STG_E_READFAULT);
  EXPECT_EQ(f.LastResultGet(), zycfb::STG_E_READFAULT);
  storage->stream->writeResult = zycfb::STG_E_MEDIUMFULL;
  EXPECT_EQ(ExpectSystemError([&] { f.WriteBuffer(buf, 16); }, "IStream.Write"),
            zycfb::STG_E_MEDIUMFULL);
  // SetSize's result is kept, not raised.
  f.SetSize(1000);
  EXPECT_EQ(f.LastResultGet(), zycfb::STG_E_MEDIUMFULL);
}

TEST(VirtualFileService, OpenModesBecomeServiceFlags) {
  struct Case {
    uint64_t mode;
    uint32_t flags;
  };
  const Case cases[] = {
      {zydVirtualFileExclusive | zydVirtualFileReadWrite, 0x12},
      {zydVirtualFileExclusive | zydVirtualFileRead, 0x10},
      {zydVirtualFileExclusive | zydVirtualFileWrite, 0x11},
      {zydVirtualFileReadWrite, 0x02},
      {0, 0x00},
  };
  auto storage = std::make_shared<OneStreamStorage>();
  TZyVirtualFile f(storage, nullptr, u"s", zydVirtualCreate);
  EXPECT_EQ(storage->lastMode, 0x1012u);
  for (const Case& c : cases) {
    f.Open(c.mode);
    EXPECT_EQ(storage->lastMode, c.flags) << std::hex << c.mode;
  }
}

TEST(VirtualFileService, EnumerationStatisticsGiveTimesAndSize) {
  zycfb::ElementStat stat;
  stat.name.push_back(u's');
  stat.type = zycfb::STGTY_STREAM;
  stat.size = 123456789012ULL;
  stat.creationTime = 116444736000000000ULL;          // 1970-01-01
  stat.modificationTime = 133536836967899999ULL;      // 2024-02-29 12:34:56.789
  auto storage = std::make_shared<OneStreamStorage>();
  TZyVirtualFile f(storage, &stat, u"s", 0);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.FileSizeGet(), 123456789012LL);
  EXPECT_EQ(f.CreationTimeGet(), 25569.0);
  EXPECT_EQ(f.ModificationTimeGet(), FileTimeToDateTime(stat.modificationTime));
  EXPECT_EQ(f.AccessTimeGet(), FileTimeToDateTime(0));

  TZyVirtualFolder folder(storage, &stat, u"s", 0);
  EXPECT_EQ(folder.CreationTimeGet(), 25569.0);
  EXPECT_EQ(ExpectSystemError([&] { folder.Open(0); }, "IStorage.OpenStorage"),
            zycfb::STG_E_FILENOTFOUND);
  EXPECT_EQ(ExpectSystemError([&] { TZyVirtualFolder(storage, nullptr, u"n", zydVirtualCreate); },
                              "IStorage.CreateStorage"),
            zycfb::STG_E_ACCESSDENIED);
}

}  // namespace
