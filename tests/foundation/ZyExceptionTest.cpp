#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <type_traits>

#include "engine/foundation/ZyException.h"
#include "platform/framework/SysMessage.h"

namespace {

static_assert(std::is_nothrow_constructible<EZyException, uint32_t, const std::string&,
                                            const std::string&, const std::string&>::value,
              "building the exception must never raise");

// An exception of the engine's family whose class name is not EZyException.
class EOtherZyException : public EZyException {
 public:
  using EZyException::EZyException;
  const char* ClassName() const override { return "EOtherZyException"; }
};

// An exception with n entries: each wraps the next, entry i has code 0x80000000 + i.
EZyException Chain(uint32_t n) {
  std::unique_ptr<EZyException> inner;
  for (uint32_t i = n; i-- > 0;) {
    auto next = std::make_unique<EZyException>(0x80000000u + i, "M" + std::to_string(i),
                                               "Method" + std::to_string(i),
                                               "Text" + std::to_string(i),
                                               i % 2 ? "Details" + std::to_string(i) : "",
                                               inner.get());
    inner = std::move(next);
  }
  return *inner;
}

TEST(EZyException, MessageHasFourLinesWithoutDetailsAndFiveWith) {
  const EZyException plain(0x80000102, "ZyDatabase", "TZyDatabaseGenericList.Add",
                           "That name has already been used");
  EXPECT_STREQ(plain.what(),
               "Error Code: $80000102\r\nError Module: ZyDatabase\r\n"
               "Error Method: TZyDatabaseGenericList.Add\r\n"
               "Error Text: That name has already been used");
  const EZyException detailed(0x80000502, "ZyDatabase", "TZyDatabaseQuery.Prepare", "syntax",
                              "SELECT *");
  EXPECT_EQ(detailed.Message(),
            "Error Code: $80000502\r\nError Module: ZyDatabase\r\n"
            "Error Method: TZyDatabaseQuery.Prepare\r\nError Text: syntax\r\n"
            "Error Details: SELECT *");
}

TEST(EZyException, CodesPrintAsEightUpperCaseDigits) {
  struct Case {
    uint32_t code;
    const char* firstLine;
  };
  const Case cases[] = {{1, "Error Code: $00000001\r\n"},
                        {0, "Error Code: $00000000\r\n"},
                        {0x8003abcd, "Error Code: $8003ABCD\r\n"},
                        {0xFFFFFFFF, "Error Code: $FFFFFFFF\r\n"}};
  for (const Case& c : cases) {
    const EZyException e(c.code, "m", "x", "t");
    EXPECT_EQ(e.Message().substr(0, 23), c.firstLine);
  }
}

TEST(EZyException, EntryZeroAndUnfilledEntries) {
  const EZyException e(0x80000204, "ZyDatabase", "TZyDatabaseTable.RowGet",
                       "There are no more rows to fetch", "row 7");
  EXPECT_EQ(e.CountGet(), 1u);
  EXPECT_EQ(e.CodeGet(0), 0x80000204u);
  EXPECT_EQ(e.ModuleGet(0), "ZyDatabase");
  EXPECT_EQ(e.MethodGet(0), "TZyDatabaseTable.RowGet");
  EXPECT_EQ(e.TextGet(0), "There are no more rows to fetch");
  EXPECT_EQ(e.DetailsGet(0), "row 7");
  for (uint32_t i : {1u, 24u, 25u, 26u, 1000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(e.CodeGet(i), 0u) << i;
    EXPECT_EQ(e.ModuleGet(i), "") << i;
    EXPECT_EQ(e.MethodGet(i), "") << i;
    EXPECT_EQ(e.TextGet(i), "") << i;
    EXPECT_EQ(e.DetailsGet(i), "") << i;
  }
  EXPECT_STREQ(e.ClassName(), "EZyException");
  EXPECT_EQ(zyfw::ExceptionClassName(static_cast<const std::exception&>(e)), "EZyException");
}

TEST(EZyException, WrappingCopiesTheInnerChainInOrder) {
  const EZyException inner = Chain(3);
  const EZyException outer(0x80000101, "ZyDatabase", "TZyDatabaseTable.Create",
                           "The name is invalid", "", &inner);
  ASSERT_EQ(outer.CountGet(), 4u);
  EXPECT_EQ(outer.CodeGet(0), 0x80000101u);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(outer.CodeGet(i + 1), 0x80000000u + i);
    EXPECT_EQ(outer.ModuleGet(i + 1), "M" + std::to_string(i));
    EXPECT_EQ(outer.MethodGet(i + 1), "Method" + std::to_string(i));
    EXPECT_EQ(outer.TextGet(i + 1), "Text" + std::to_string(i));
    EXPECT_EQ(outer.DetailsGet(i + 1), i % 2 ? "Details" + std::to_string(i) : "");
  }
  // The message still shows entry 0 only.
  EXPECT_EQ(outer.Message().find("Text0"), std::string::npos);
}

TEST(EZyException, ChainsAreCutAtTwentyFiveEntries) {
  const EZyException full = Chain(30);
  EXPECT_EQ(full.CountGet(), 25u);
  EXPECT_EQ(full.CodeGet(24), 0x80000018u);
  EXPECT_EQ(full.CodeGet(25), 0u);

  const EZyException wrapped(0x80000400, "ZyDatabase", "X", "outer", "", &full);
  ASSERT_EQ(wrapped.CountGet(), 25u);
  EXPECT_EQ(wrapped.CodeGet(0), 0x80000400u);
  for (uint32_t i = 1; i < 25; ++i) EXPECT_EQ(wrapped.CodeGet(i), 0x80000000u + i - 1) << i;
  EXPECT_EQ(wrapped.TextGet(25), "");
}

TEST(EZyException, ForeignInnerExceptionsBecomeOneEntry) {
  struct Case {
    std::unique_ptr<std::exception> inner;
    const char* method;
    const char* text;
  };
  Case cases[3];
  cases[0] = {std::make_unique<std::runtime_error>("disk on fire"), "std::runtime_error",
              "disk on fire"};
  cases[1] = {std::make_unique<zyfw::EListError>("List index out of bounds (9)"), "EListError",
              "List index out of bounds (9)"};
  cases[2] = {std::make_unique<EOtherZyException>(0x80000123, "M", "N", "T"), "EOtherZyException",
              "Error Code: $80000123\r\nError Module: M\r\nError Method: N\r\nError Text: T"};
  for (const Case& c : cases) {
    const EZyException e(0x80000300, "ZyDatabase", "TZyDatabaseTable.RowsGet", "outer", "d",
                         c.inner.get());
    ASSERT_EQ(e.CountGet(), 2u) << c.method;
    EXPECT_EQ(e.CodeGet(1), 0u);
    EXPECT_EQ(e.ModuleGet(1), EZyException::ForeignModule);
    EXPECT_EQ(e.MethodGet(1), c.method);
    EXPECT_EQ(e.TextGet(1), c.text);
    EXPECT_EQ(e.DetailsGet(1), "");
  }
}

TEST(EZyException, SystemErrorsCarryTheSystemText) {
  const EZyException e(0x80030002, "IStorage.OpenStream");
  EXPECT_EQ(e.CountGet(), 1u);
  EXPECT_EQ(e.CodeGet(0), 0x80030002u);
  EXPECT_EQ(e.ModuleGet(0), "System");
  EXPECT_EQ(e.MethodGet(0), "IStorage.OpenStream");
  EXPECT_EQ(e.TextGet(0), "The element could not be found.\r\n");
  EXPECT_EQ(e.DetailsGet(0), "");
  EXPECT_EQ(e.Message(),
            "Error Code: $80030002\r\nError Module: System\r\nError Method: IStorage.OpenStream\r\n"
            "Error Text: The element could not be found.\r\n");
  const EZyException unknown(0x8003FFFF, "IStream.Read");
  EXPECT_EQ(unknown.TextGet(0), zyfw::SysErrorMessage(0x8003FFFF));
}

TEST(EZyException, CaughtAsTheFrameworkBase) {
  try {
    throw EZyException(0x80000500, "ZyDatabase", "zydParser", "The SQL statement is empty");
  } catch (const zyfw::Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EZyException");
    EXPECT_NE(e.Message().find("Error Text: The SQL statement is empty"), std::string::npos);
  }
}

}  // namespace
