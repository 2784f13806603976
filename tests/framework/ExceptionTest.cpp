#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/framework/Exception.h"

namespace zyfwtest {
struct OddFailure : std::exception {
  const char* what() const noexcept override { return "odd"; }
};
}  // namespace zyfwtest

namespace {

TEST(ExceptionClassName, OwnClassesReportTheirOwnName) {
  EXPECT_EQ(zyfw::ExceptionClassName(zyfw::Exception("x")), "Exception");
  EXPECT_EQ(zyfw::ExceptionClassName(zyfw::EListError("x")), "EListError");
  EXPECT_EQ(zyfw::ExceptionClassName(zyfw::EReadError("x")), "EReadError");
  EXPECT_EQ(zyfw::ExceptionClassName(zyfw::EWriteError("x")), "EWriteError");
  EXPECT_EQ(zyfw::ExceptionClassName(zyfw::EConvertError("x")), "EConvertError");
  EXPECT_EQ(zyfw::ExceptionClassName(zyfw::EFOpenError("x")), "EFOpenError");
}

TEST(ExceptionClassName, ThroughABaseReferenceTheDynamicClassCounts) {
  const zyfw::EListError list("List index out of bounds (3)");
  const std::exception& base = list;
  EXPECT_EQ(zyfw::ExceptionClassName(base), "EListError");
  EXPECT_STREQ(base.what(), "List index out of bounds (3)");
}

TEST(ExceptionClassName, ForeignExceptionsAreDemangled) {
  EXPECT_EQ(zyfw::ExceptionClassName(std::runtime_error("x")), "std::runtime_error");
  EXPECT_EQ(zyfw::ExceptionClassName(zyfwtest::OddFailure()), "zyfwtest::OddFailure");
}

}  // namespace
