// Replays every kept fuzz input (the seed corpora in fuzz/corpus and the inputs of past findings
// in fuzz/regressions) through the fuzz targets' own bodies, so that a fixed finding stays fixed
// in the normal build and under the sanitizers, without libFuzzer.
#include <gtest/gtest.h>
#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/FuzzBodies.h"
#include "tests/reliability/ReliabilityUtil.h"

namespace {

std::vector<std::string> Inputs(const std::string& target) {
  std::vector<std::string> files;
  for (const char* kind : {"corpus", "regressions"}) {
    const std::string dir = std::string(ZY_SOURCE_DIR) + "/fuzz/" + kind + "/" + target;
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
      closedir(d);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Target {
  const char* name;
  int (*body)(const uint8_t*, size_t);
  size_t atLeast;  // seeds kept in the repository
};

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, EveryKeptInputRunsCleanly) {
  const Target& t = GetParam();
  const std::vector<std::string> inputs = Inputs(t.name);
  ASSERT_GE(inputs.size(), t.atLeast) << "seed corpus missing";
  for (const std::string& path : inputs) {
    SCOPED_TRACE(path);
    const std::vector<uint8_t> bytes = zyrel::ReadBytes(path);
    EXPECT_NO_THROW(t.body(bytes.data(), bytes.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay,
                         ::testing::Values(Target{"compound", ZyFuzzCompound, 3},
                                           Target{"database", ZyFuzzDatabase, 2},
                                           Target{"sql", ZyFuzzSql, 10}),
                         [](const ::testing::TestParamInfo<Target>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
