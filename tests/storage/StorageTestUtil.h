// Shared pieces of the storage tests: a scratch file per test, and a check for the system error
// that failed service calls raise.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/foundation/ZyException.h"
#include "platform/framework/SysMessage.h"

class ScratchFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = ::testing::TempDir() + "zystorage_" + std::to_string(::getpid()) + "_" +
            info->test_suite_name() + "_" + info->name() + ".zyd";
    std::remove(path_.c_str());
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

// Runs f, which must raise the system error of the named call; returns its code.
template <class F>
uint32_t ExpectSystemError(F f, const char* method) {
  try {
    f();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CountGet(), 1u);
    EXPECT_EQ(e.ModuleGet(0), "System");
    EXPECT_EQ(e.MethodGet(0), method);
    EXPECT_NE(e.CodeGet(0) & 0x80000000u, 0u) << std::hex << e.CodeGet(0);
    EXPECT_EQ(e.TextGet(0), zyfw::SysErrorMessage(e.CodeGet(0)));
    return e.CodeGet(0);
  }
  ADD_FAILURE() << "no error from " << method;
  return 0;
}
