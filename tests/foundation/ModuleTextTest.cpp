#include <gtest/gtest.h>

#include "engine/foundation/ZyModuleText.h"

namespace {

TEST(ModuleText, TheProgramIsLinkedWithTheIntendedCopy) {
#ifdef ZY_TEST_EXPLORER_BUILD
  EXPECT_TRUE(zydPerModuleErrors());
  EXPECT_STREQ(zydModuleText("ZyDatabaseGenericList"), "ZyDatabaseGenericList");
#else
  EXPECT_FALSE(zydPerModuleErrors());
  EXPECT_STREQ(zydModuleText("ZyDatabaseGenericList"), "ZyDatabase");
#endif
}

}  // namespace
