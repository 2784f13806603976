// Shared helpers of the compound-file tests: a scratch folder per test, short-hand for the calls
// the tests repeat, and an independent check of every sibling tree in a file's directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/compound/Compound.h"
#include "platform/compound/CompoundInspect.h"

namespace cfbtest {

using namespace zycfb;

constexpr uint32_t kRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr uint32_t kRO = STGM_READ | STGM_SHARE_EXCLUSIVE;

class CompoundTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

std::u16string U(const std::string& s);
std::string Hex(Result r);

// Deterministic content: byte i of pattern `seed`.
std::string Pattern(size_t size, uint32_t seed);

std::shared_ptr<Storage> Create(const std::string& path, int version = 4);
std::shared_ptr<Storage> OpenRW(const std::string& path);
std::shared_ptr<Stream> NewStream(Storage& parent, const std::string& name);
std::shared_ptr<Stream> OpenS(Storage& parent, const std::string& name, uint32_t mode = kRW);
void WriteAll(Stream& s, const std::string& data);
std::string ReadAll(Stream& s);  // from the start
std::string FileBytes(const std::string& path);
void SetFileBytes(const std::string& path, const std::string& bytes);
std::vector<std::string> Names(Storage& storage);  // enumeration order, UTF-8

// Checks every storage's sibling tree: each entry reached once, names in sibling order, top
// black, no red entry with a red child, the same number of black entries on every path.
// Returns "" when all hold, else what is wrong.
std::string CheckTrees(const FileLayout& layout);

}  // namespace cfbtest
