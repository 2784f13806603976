// Files our compound-file service writes, read back by independent readers. Each case builds a
// file through the service while keeping a model of what it wrote (every storage, every stream's
// bytes), then hands the file and the model's manifest to verify.py, which compares them with what
// our byte-level checker, olefile (strict), 7-Zip and olecfinfo read.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/compound/Compound.h"

namespace {

using zycfb::Result;

constexpr uint32_t kRW = zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE;

uint32_t Crc32(const std::string& data) {
  static uint32_t table[256];
  if (table[1] == 0) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// Bytes that differ from stream to stream and never look like zero padding.
std::string Bytes(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    out[i] = static_cast<char>(x | 1);
  }
  return out;
}

std::string Hex(Result r) {
  char text[16];
  std::snprintf(text, sizeof text, "$%08X", r);
  return text;
}

void Ok(Result r, const std::string& what) {
  if (zycfb::Failed(r)) throw std::runtime_error(what + " failed with " + Hex(r));
}

// Writes a compound file through the service and remembers what it wrote. Paths use "/"; open
// storages and streams are kept by path, since elements open only once at a time.
class Builder {
 public:
  Builder(std::string path, int version) : path_(std::move(path)) {
    zycfb::CreateOptions options;
    options.version = version;
    Ok(zycfb::CreateDocfile(path_, zycfb::STGM_CREATE | kRW, &storages_[""], options),
       "CreateDocfile " + path_);
  }

  void Mkdir(const std::string& path) {
    Ok(Parent(path).CreateStorage(zycfb::Utf8ToUtf16(Name(path)), kRW, &storages_[path]),
       "CreateStorage " + path);
    model_[path] = std::nullopt;
  }

  // Creates (or, with STGM_CREATE, replaces) a stream and writes data into it.
  void Put(const std::string& path, const std::string& data) {
    streams_.erase(path);
    Ok(Parent(path).CreateStream(zycfb::Utf8ToUtf16(Name(path)), zycfb::STGM_CREATE | kRW,
                                 &streams_[path]),
       "CreateStream " + path);
    model_[path] = "";
    WriteAt(path, 0, data);
  }

  void WriteAt(const std::string& path, uint64_t offset, const std::string& data) {
    zycfb::Stream& s = Stream(path);
    Ok(s.Seek(static_cast<int64_t>(offset), zycfb::STREAM_SEEK_SET, nullptr), "Seek " + path);
    // Large data goes in several calls, as a caller streaming a file would write it.
    for (size_t done = 0; done < data.size();) {
      uint32_t count = static_cast<uint32_t>(std::min<size_t>(data.size() - done, 1 << 20));
      uint32_t written = 0;
      Ok(s.Write(data.data() + done, count, &written), "Write " + path);
      if (written != count) throw std::runtime_error("short write to " + path);
      done += count;
    }
    std::string& content = *model_.at(path);
    if (content.size() < offset + data.size()) content.resize(offset + data.size(), '\0');
    content.replace(offset, data.size(), data);
  }

  void Append(const std::string& path, const std::string& data) {
    WriteAt(path, model_.at(path)->size(), data);
  }

  void SetSize(const std::string& path, uint64_t size) {
    Ok(Stream(path).SetSize(size), "SetSize " + path);
    model_.at(path)->resize(size, '\0');
  }

  void Rename(const std::string& path, const std::string& newName) {
    size_t slash = path.rfind('/');
    std::string target = slash == std::string::npos ? newName : path.substr(0, slash + 1) + newName;
    CloseUnder(path);
    Ok(Parent(path).RenameElement(zycfb::Utf8ToUtf16(Name(path)), zycfb::Utf8ToUtf16(newName)),
       "RenameElement " + path);
    std::map<std::string, std::optional<std::string>> renamed;
    for (auto& [p, v] : model_) {
      bool under = p == path || p.compare(0, path.size() + 1, path + "/") == 0;
      renamed[under ? target + p.substr(path.size()) : p] = std::move(v);
    }
    model_ = std::move(renamed);
  }

  // Closes everything (the file with it), then opens the file again.
  void Reopen() {
    Close();
    Ok(zycfb::OpenDocfile(path_, kRW, &storages_[""]), "OpenDocfile " + path_);
  }

  void Close() {
    streams_.clear();
    storages_.clear();
  }

  // The model as verify.py expects it (cfbcheck.manifest_line).
  void WriteManifest(const std::string& file) const {
    std::ofstream out(file, std::ios::binary);
    for (const auto& [path, content] : model_) {
      char crc[16];
      if (content) std::snprintf(crc, sizeof crc, "%08x", Crc32(*content));
      out << (content ? "S\t" + std::to_string(content->size()) + "\t" + crc
                      : std::string("D\t-\t-"))
          << "\t" << path << "\n";
    }
  }

 private:
  static std::string Name(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  // The open storage that holds path, opening the storages on the way as needed.
  zycfb::Storage& Parent(const std::string& path) {
    size_t slash = path.rfind('/');
    return Storage(slash == std::string::npos ? "" : path.substr(0, slash));
  }

  zycfb::Storage& Storage(const std::string& path) {
    auto it = storages_.find(path);
    if (it != storages_.end()) return *it->second;
    std::shared_ptr<zycfb::Storage>& s = storages_[path];
    Ok(Parent(path).OpenStorage(zycfb::Utf8ToUtf16(Name(path)), kRW, &s), "OpenStorage " + path);
    return *s;
  }

  zycfb::Stream& Stream(const std::string& path) {
    auto it = streams_.find(path);
    if (it != streams_.end()) return *it->second;
    std::shared_ptr<zycfb::Stream>& s = streams_[path];
    Ok(Parent(path).OpenStream(zycfb::Utf8ToUtf16(Name(path)), kRW, &s), "OpenStream " + path);
    return *s;
  }

  void CloseUnder(const std::string& path) {
    auto under = [&](const std::string& p) {
      return p == path || p.compare(0, path.size() + 1, path + "/") == 0;
    };
    for (auto it = streams_.begin(); it != streams_.end();)
      it = under(it->first) ? streams_.erase(it) : ++it;
    for (auto it = storages_.begin(); it != storages_.end();)
      it = under(it->first) ? storages_.erase(it) : ++it;
  }

  std::string path_;
  std::map<std::string, std::shared_ptr<zycfb::Storage>> storages_;
  std::map<std::string, std::shared_ptr<zycfb::Stream>> streams_;
  std::map<std::string, std::optional<std::string>> model_;
};

}  // namespace

namespace {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

std::string TempDir() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

// Builds a file for one case; Verify() closes it and has every reader compare it with the model.
// Files of a failed case stay behind for a closer look (all files do with ZY_INTEROP_KEEP set).
class Interop : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    path_ = TempDir() + "/zy-interop-" + std::to_string(getpid()) + "-" + name + ".cfb";
  }

  void Verify(Builder& b) {
    b.Close();
    b.WriteManifest(path_ + ".expected");
    int status = 0;
    std::string output = RunCommand("/usr/bin/python3 " ZY_SOURCE_DIR "/tests/interop/verify.py '" +
                                        path_ + "' '" + path_ + ".expected'",
                                    &status);
    EXPECT_EQ(status, 0) << output;
    if (status == 0 && !std::getenv("ZY_INTEROP_KEEP")) {
      std::remove(path_.c_str());
      std::remove((path_ + ".expected").c_str());
    }
  }

  int Version() const { return GetParam(); }

  std::string path_;
};

TEST_P(Interop, EmptyFile) {
  Builder b(path_, Version());
  Verify(b);
}

TEST_P(Interop, NestedStoragesNamesAndRenames) {
  Builder b(path_, Version());
  for (const char* s : {"Stor1", "Stor1/Inner", "Stor1/Inner/Deep", "Stor1/Inner/Deep/Deeper",
                        "Vacant", "Données", "Stor1/Inner/Empty storage"})
    b.Mkdir(s);
  b.Put("Empty", "");
  b.Put("Stor1/Inner/Deep/Deeper/Empty", "");
  b.Put("Stor1/a", Bytes(3, 1));
  b.Put("Stor1/Inner/Small", Bytes(100, 2));
  b.Put("Stor1/Inner/Deep/Big", Bytes(50000, 3));
  b.Put("Données/Été", Bytes(700, 4));
  b.Put(std::string(31, 'N'), Bytes(10, 5));  // the longest name the format holds
  // Names that sort by length first, then without regard to case: "b" < "B0" < "abc" < "ABD".
  const char* mixed[] = {"ABD", "b", "abc", "B0", "Abe", "zz", "ZZZ", "a", "_", "~tilde"};
  uint32_t seed = 10;
  for (const char* name : mixed) {
    b.Put(std::string("Stor1/") + name, Bytes(seed * 7, seed));
    ++seed;
  }
  b.Rename("Stor1/Inner", "Inside");
  b.Rename("Stor1/a", "a-renamed");
  b.Rename("Vacant", "V");
  b.Reopen();
  b.Put("Stor1/Inside/Deep/After reopen", Bytes(5000, 6));
  b.Mkdir("Late");
  b.Put("Late/x", Bytes(1, 7));
  b.Rename("Stor1/ABD", "abd2");
  Verify(b);
}

// Streams whose size crosses the 4096-byte cutoff between the mini stream and ordinary sectors,
// both ways, by SetSize and by writes. The steps of all streams interleave, so chains fragment
// and freed sectors are reused; the file is closed and reopened after the first round.
TEST_P(Interop, StreamsAcrossTheCutoff) {
  // P n: create (or replace) with n bytes; A n: append n bytes; S n: set the size to n;
  // W n: write 16 bytes at offset n.
  const struct {
    const char* name;
    std::vector<std::pair<char, size_t>> steps;
  } kCases[] = {
      {"Exact4096", {{'P', 4096}}},
      {"Below", {{'P', 4095}}},
      {"Above", {{'P', 4097}}},
      {"AppendTo4096", {{'P', 4000}, {'A', 96}}},
      {"AppendAcross", {{'P', 3000}, {'A', 3000}, {'A', 10}}},
      {"SetSizeUp", {{'P', 1000}, {'S', 10000}}},
      {"SetSizeTo4096", {{'P', 10}, {'S', 4096}}},
      {"SetSizeDownTo4096", {{'P', 10000}, {'S', 4096}}},
      {"WriteFar", {{'P', 100}, {'W', 9000}}},
      {"SetSizeDown", {{'P', 10000}, {'S', 100}}},
      {"From4096Down", {{'P', 4096}, {'S', 4095}}},
      {"DownThenUp", {{'P', 5000}, {'S', 3000}, {'A', 2000}}},
      {"UpThenDown", {{'P', 3000}, {'S', 6000}, {'S', 10}, {'A', 50}}},
      {"BigToZero", {{'P', 5000}, {'S', 0}}},
      {"SmallToZeroAndBack", {{'P', 100}, {'S', 0}, {'A', 10}}},
      {"ReplacedBySmall", {{'P', 20000}, {'P', 10}}},
      {"ReplacedByBig", {{'P', 10}, {'P', 20000}}},
      {"EmptyGrown", {{'P', 0}, {'S', 4096}}},
      {"ShrinkBig", {{'P', 30000}, {'S', 10000}, {'W', 9990}}},
      {"ShrinkSmall", {{'P', 3000}, {'S', 70}, {'W', 60}}},
  };
  Builder b(path_, Version());
  uint32_t seed = 100;
  for (size_t step = 0;; ++step) {
    bool any = false;
    for (const auto& c : kCases) {
      if (step >= c.steps.size()) continue;
      any = true;
      auto [op, n] = c.steps[step];
      if (op == 'P') b.Put(c.name, Bytes(n, ++seed));
      if (op == 'A') b.Append(c.name, Bytes(n, ++seed));
      if (op == 'S') b.SetSize(c.name, n);
      if (op == 'W') b.WriteAt(c.name, n, Bytes(16, ++seed));
    }
    if (!any) break;
    if (step == 0) b.Reopen();
  }
  // Three big streams growing side by side, so their chains interleave sector by sector.
  for (int round = 0; round < 40; ++round)
    for (const char* name : {"Woven1", "Woven2", "Woven3"})
      round == 0 ? b.Put(name, Bytes(1000, ++seed)) : b.Append(name, Bytes(700, ++seed));
  Verify(b);
}

TEST_P(Interop, TenThousandStreamsInOneStorage) {
  Builder b(path_, Version());
  b.Mkdir("Many");
  // Created out of order, with names of 2 to 5 characters, so the tree sees every kind of insert.
  for (int i = 0; i < 10000; ++i) {
    int k = (i * 7919) % 10000;
    b.Put("Many/s" + std::to_string(k), Bytes(k % 5 == 0 ? 0 : k % 300, k));
  }
  b.Put("Outside", Bytes(5000, 1));
  b.Reopen();
  for (int k = 0; k < 10000; k += 1000)
    b.Rename("Many/s" + std::to_string(k), "r" + std::to_string(k));
  for (int k = 0; k < 10; ++k) b.Put("Many/late" + std::to_string(k), Bytes(k * 1000, k));
  Verify(b);
}

INSTANTIATE_TEST_SUITE_P(Versions, Interop, testing::Values(3, 4),
                         [](const testing::TestParamInfo<int>& info) {
                           return "v" + std::to_string(info.param);
                         });

// Version 3 files keep the first 109 FAT sectors' numbers in the header; beyond about 6.8 MiB
// the FAT is found through DIFAT sectors, one more every 7.9 MiB.
class InteropLargeV3 : public Interop {};

TEST_P(InteropLargeV3, NeedsDifatSectors) {
  const size_t total = static_cast<size_t>(GetParam()) << 20;
  Builder b(path_, 3);
  uint32_t seed = 1;
  for (int i = 0; i < 50; ++i) b.Put("small" + std::to_string(i), Bytes(i * 61, ++seed));
  // Two big streams written side by side in 64 KiB pieces.
  b.Put("Big1", "");
  b.Put("Big2", "");
  for (size_t written = 0; written < total; written += 2 * 65536) {
    b.Append("Big1", Bytes(65536, ++seed));
    b.Append("Big2", Bytes(65536, ++seed));
  }
  b.Reopen();
  b.SetSize("Big1", 1 << 20);
  b.Append("Big2", Bytes(300000, ++seed));
  b.Put("After", Bytes(2 << 20, ++seed));
  b.Close();
  // The case only proves something if the file really needs the DIFAT sectors it is meant to.
  std::ifstream in(path_, std::ios::binary);
  unsigned char header[76];
  ASSERT_TRUE(in.read(reinterpret_cast<char*>(header), sizeof header));
  uint32_t difatSectors = header[72] | header[73] << 8 | header[74] << 16 | header[75] << 24;
  EXPECT_GE(difatSectors, GetParam() < 16 ? 1u : 2u);
  Verify(b);
}

// Totals in MiB: one DIFAT sector, and two (a chained DIFAT).
INSTANTIATE_TEST_SUITE_P(Sizes, InteropLargeV3, testing::Values(9, 17),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "MiB";
                         });

}  // namespace
