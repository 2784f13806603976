#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>

#include "platform/framework/Exception.h"
#include "platform/framework/Stream.h"

namespace {

using zyfw::soFromBeginning;
using zyfw::soFromCurrent;
using zyfw::soFromEnd;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return v;
}

// A stream that accepts at most `limit` bytes per call, for the short-transfer paths.
class StingyStream : public zyfw::TMemoryStream {
 public:
  explicit StingyStream(int32_t limit) : limit_(limit) {}
  int32_t Read(void* b, int32_t c) override { return TMemoryStream::Read(b, std::min(c, limit_)); }
  int32_t Write(const void* b, int32_t c) override {
    return TMemoryStream::Write(b, std::min(c, limit_));
  }

 private:
  int32_t limit_;
};

// A stream that counts how it is asked for its size.
class CountingSeekStream : public zyfw::TMemoryStream {
 public:
  int64_t Seek(int64_t offset, uint16_t origin) override {
    ++seeks;
    return TMemoryStream::Seek(offset, origin);
  }
  int seeks = 0;
};

TEST(MemoryStream, WriteReadSeek) {
  zyfw::TMemoryStream s;
  const auto data = Pattern(100);
  EXPECT_EQ(s.Write(data.data(), 100), 100);
  EXPECT_EQ(s.Position(), 100);
  EXPECT_EQ(s.Size(), 100);
  EXPECT_EQ(s.Seek(10, soFromBeginning), 10);
  EXPECT_EQ(s.Seek(5, soFromCurrent), 15);
  EXPECT_EQ(s.Seek(-20, soFromEnd), 80);
  uint8_t buf[40] = {};
  // Reading across the end moves what there is.
  EXPECT_EQ(s.Read(buf, 40), 20);
  EXPECT_EQ(0, std::memcmp(buf, data.data() + 80, 20));
  EXPECT_EQ(s.Read(buf, 40), 0);
}

TEST(MemoryStream, RefusedSeeksLeaveThePosition) {
  zyfw::TMemoryStream s;
  s.SetSize(10);
  s.PositionSet(4);
  EXPECT_EQ(s.Seek(-5, soFromBeginning), -1);
  EXPECT_EQ(s.Seek(-11, soFromEnd), -1);
  EXPECT_EQ(s.Seek(0, 7), -1);
  EXPECT_EQ(s.Seek(INT64_MAX, soFromCurrent), -1);
  EXPECT_EQ(s.Position(), 4);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  zyfw::TMemoryStream s;
  s.WriteBuffer("ab", 2);
  EXPECT_EQ(s.Seek(6, soFromBeginning), 6);
  EXPECT_EQ(s.Size(), 2);
  s.WriteBuffer("z", 1);
  ASSERT_EQ(s.Size(), 7);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 7), std::string("ab\0\0\0\0z", 7));
}

TEST(MemoryStream, SetSizeShrinksAndPullsThePositionBack) {
  zyfw::TMemoryStream s;
  const auto data = Pattern(50);
  s.WriteBuffer(data.data(), 50);
  s.SetSize(20);
  EXPECT_EQ(s.Size(), 20);
  EXPECT_EQ(s.Position(), 20);
  s.SetSize(30);
  EXPECT_EQ(s.Bytes()[25], 0);
  EXPECT_EQ(s.Bytes()[19], data[19]);
  EXPECT_THROW(s.SetSize(-1), zyfw::EWriteError);
  EXPECT_EQ(s.Size(), 30);
}

TEST(Stream, SizeSeeksToTheEndAndBack) {
  CountingSeekStream s;
  const auto data = Pattern(64);
  s.WriteBuffer(data.data(), 64);
  s.PositionSet(17);
  s.seeks = 0;
  EXPECT_EQ(s.TStream::Size(), 64);
  EXPECT_EQ(s.Position(), 17);
  EXPECT_EQ(s.seeks, 4);  // where we are, the end, back, and our own Position()
}

TEST(Stream, ReadBufferAndWriteBufferRaiseOnShortTransfers) {
  StingyStream s(3);
  uint8_t buf[8] = {};
  s.WriteBuffer("abc", 3);
  try {
    s.WriteBuffer("defg", 4);
    FAIL() << "short write accepted";
  } catch (const zyfw::EWriteError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  s.PositionSet(0);
  s.ReadBuffer(buf, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "abc");
  s.PositionSet(0);
  try {
    s.ReadBuffer(buf, 4);
    FAIL() << "short read accepted";
  } catch (const zyfw::EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  // Nothing to move is never an error; a negative count always is.
  s.ReadBuffer(buf, 0);
  s.WriteBuffer(buf, 0);
  EXPECT_THROW(s.ReadBuffer(buf, -1), zyfw::EReadError);
  EXPECT_THROW(s.WriteBuffer(buf, -1), zyfw::EWriteError);
}

TEST(Stream, CopyFromWholeSourceAndFromItsPosition) {
  const auto data = Pattern(200000);  // several passes through the copy buffer
  zyfw::TMemoryStream src;
  src.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));

  zyfw::TMemoryStream all;
  all.WriteBuffer("x", 1);  // the copy goes at the destination's position
  EXPECT_EQ(all.CopyFrom(src, 0), 200000);
  ASSERT_EQ(all.Size(), 200001);
  EXPECT_EQ(0, std::memcmp(all.Memory() + 1, data.data(), data.size()));

  zyfw::TMemoryStream part;
  src.PositionSet(70000);
  EXPECT_EQ(part.CopyFrom(src, 100000), 100000);
  EXPECT_EQ(src.Position(), 170000);
  ASSERT_EQ(part.Size(), 100000);
  EXPECT_EQ(0, std::memcmp(part.Memory(), data.data() + 70000, 100000));

  EXPECT_EQ(part.CopyFrom(src, -5), 0);
  EXPECT_EQ(part.Size(), 100000);
}

TEST(Stream, CopyFromAShortSourceRaises) {
  zyfw::TMemoryStream src, dst;
  src.WriteBuffer("abcdef", 6);
  src.PositionSet(2);
  EXPECT_THROW(dst.CopyFrom(src, 10), zyfw::EReadError);
}

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "zyfw_stream_" + std::to_string(::getpid()) + ".bin";
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

TEST_F(FileStreamTest, CreateWriteReopenRead) {
  const auto data = Pattern(5000);
  {
    zyfw::TFileStream f(path_, zyfw::fmCreate);
    f.WriteBuffer(data.data(), 5000);
    EXPECT_EQ(f.Size(), 5000);
    EXPECT_EQ(f.Position(), 5000);
    f.SetSize(3000);
    EXPECT_EQ(f.Size(), 3000);
    EXPECT_EQ(f.Position(), 3000);
  }
  zyfw::TFileStream f(path_, zyfw::fmOpenRead);
  EXPECT_EQ(f.Size(), 3000);
  std::vector<uint8_t> back(3000);
  f.ReadBuffer(back.data(), 3000);
  EXPECT_EQ(0, std::memcmp(back.data(), data.data(), 3000));
  EXPECT_EQ(f.Read(back.data(), 10), 0);
  // A stream opened for reading refuses writes.
  EXPECT_THROW(f.WriteBuffer("a", 1), zyfw::EWriteError);
  EXPECT_EQ(f.Seek(-1, soFromBeginning), -1);
}

TEST_F(FileStreamTest, CreateTruncatesAnExistingFile) {
  { zyfw::TFileStream(path_, zyfw::fmCreate).WriteBuffer("abcdef", 6); }
  { zyfw::TFileStream(path_, zyfw::fmCreate).WriteBuffer("xy", 2); }
  zyfw::TFileStream f(path_, zyfw::fmOpenReadWrite);
  EXPECT_EQ(f.Size(), 2);
}

TEST_F(FileStreamTest, MissingFileRaisesWithTheNameAndTheReason) {
  const std::string missing = path_ + ".missing";
  try {
    zyfw::TFileStream f(missing, zyfw::fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const zyfw::EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + missing + "\". " + std::strerror(ENOENT));
  }
}

TEST_F(FileStreamTest, MemoryStreamSavesAndLoads) {
  const auto data = Pattern(70000);
  zyfw::TMemoryStream out;
  out.WriteBuffer(data.data(), 70000);
  out.SaveToFile(path_);
  zyfw::TMemoryStream in;
  in.WriteBuffer("junk", 4);
  in.LoadFromFile(path_);
  EXPECT_EQ(in.Bytes(), data);
  EXPECT_EQ(in.Position(), 0);
  EXPECT_THROW(in.LoadFromFile(path_ + ".missing"), zyfw::EFOpenError);
}

}  // namespace
