#include <gtest/gtest.h>

#include "FoundationTestUtil.h"
#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyException.h"

namespace {

TEST(ZyDatabaseIsNameValid, IdentifierRule) {
  struct Case {
    const char* name;
    bool system;
    const char* error;  // nullptr: accepted
  };
  const Case cases[] = {
      {"my_table1", false, nullptr},
      {"MyTable", false, nullptr},
      {"1abc", false, nullptr},
      {"_", false, nullptr},
      {"", false, nullptr},
      {"SYSX", false, nullptr},
      {"SPX", false, nullptr},
      {"X_SYS_", false, nullptr},
      {"my-table", false, "The character '-' is invalid"},
      {"a b", false, "The character ' ' is invalid"},
      {"a.b", false, "The character '.' is invalid"},
      {"a-b c", false, "The character '-' is invalid"},  // the first offender
      {"caf\xC3\xA9", false, "The character '\xC3\xA9' is invalid"},
      {"sys_x", false, "Only the system may use 'SYS_' for identifiers"},
      {"Sys_", false, "Only the system may use 'SYS_' for identifiers"},
      {"SYS_OBJECTS", false, "Only the system may use 'SYS_' for identifiers"},
      {"sp_x", false, "Only the system may use 'SP_' for identifiers"},
      {"SP_", false, "Only the system may use 'SP_' for identifiers"},
      {"sys_x", true, nullptr},
      {"sP_x", true, nullptr},
      {"sys_-", true, "The character '-' is invalid"},
      {"-sys_", false, "The character '-' is invalid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.system ? " (system)" : ""));
    if (c.error == nullptr) {
      EXPECT_NO_THROW(ZyDatabaseIsNameValid(c.name, c.system));
      continue;
    }
    try {
      ZyDatabaseIsNameValid(c.name, c.system);
      ADD_FAILURE() << "accepted";
    } catch (const EZyException& e) {
      EXPECT_EQ(e.CountGet(), 1u);
      EXPECT_EQ(e.CodeGet(0), 0x80000100u);
      EXPECT_EQ(e.ModuleGet(0), ExpectedModule("ZyDatabaseCommon"));
      EXPECT_EQ(e.MethodGet(0), "ZyDatabaseIsNameValid");
      EXPECT_EQ(e.TextGet(0), c.error);
    }
  }
}

TEST(ZyDatabaseSysException, ReservedMethodError) {
  try {
    ZyDatabaseSysException("TZyDatabase.SysTables");
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000702u);
    EXPECT_EQ(e.ModuleGet(0), ExpectedModule("ZyDatabaseCommon"));
    EXPECT_EQ(e.MethodGet(0), "TZyDatabase.SysTables");
    EXPECT_EQ(e.TextGet(0),
              "This method is reserved for system use and should never be called by a client");
  }
}

TEST(ZyDatabaseSysException, OnlyTheSystemKeyPasses) {
  EXPECT_NO_THROW(zydCheckSysKey(zydSysKey, "TZyDatabaseField.SysDataSet"));
  for (uint64_t key : {uint64_t{0}, zydSysKey + 1, zydSysKey ^ (uint64_t{1} << 63), ~zydSysKey}) {
    try {
      zydCheckSysKey(key, "TZyDatabaseField.SysDataSet");
      ADD_FAILURE() << "key " << key << " accepted";
    } catch (const EZyException& e) {
      EXPECT_EQ(e.CodeGet(0), 0x80000702u);
      EXPECT_EQ(e.MethodGet(0), "TZyDatabaseField.SysDataSet");
    }
  }
}

}  // namespace
