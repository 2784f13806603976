// A database file is held by one opener at a time. A second opener, in another process or in the
// same one, is refused with the sharing violation and leaves the file exactly as it was, whether
// it meant to open the file or to create a new one over it; once the first lets go, it succeeds.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "engine/foundation/ZyException.h"
#include "fuzz/FuzzBodies.h"
#include "platform/compound/CompoundResult.h"
#include "platform/framework/SysMessage.h"
#include "tests/reliability/ReliabilityUtil.h"

namespace {

using namespace zyrel;

// Opens (or creates) the database and returns the error it raised, or "" when it opened.
std::string TryOpen(TZyDatabase& db, const std::string& path, uint64_t mode) {
  db.FileName = path;
  try {
    db.Open(mode);
    return "";
  } catch (const EZyException& e) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", e.CodeGet(0));
    return std::string(code) + " " + e.MethodGet(0) + " " + e.TextGet(0);
  }
}

// The refusal, from the call the mode makes: opening or creating the compound file.
std::string SharingViolation(uint64_t mode = 0) {
  return std::string("80030020 ") + (mode ? "StgCreateDocFile " : "StgOpenStorage ") +
         zyfw::SysErrorMessage(zycfb::STG_E_SHAREVIOLATION);
}

class SecondOpenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempPath(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                     ".zyd");
    MakeSampleDatabase(path_, 3);
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

TEST_F(SecondOpenerTest, AnotherProcessIsRefusedUntilTheFirstCloses) {
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    // The first opener: holds the database until told to let go, then closes it.
    close(ready[0]);
    close(release[1]);
    int status = 0;
    {
      TZyDatabase db;
      status = TryOpen(db, path_, 0).empty() ? 0 : 1;
      char c = char('0' + status);
      if (write(ready[1], &c, 1) != 1) _exit(3);
      if (read(release[0], &c, 1) != 1) _exit(4);
    }
    _exit(status);
  }
  close(ready[1]);
  close(release[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '0') << "the first opener could not open the database";

  const std::vector<uint8_t> before = ReadBytes(path_);
  for (uint64_t mode : {uint64_t(0), zydDatabaseCreate}) {
    SCOPED_TRACE(mode ? "creating" : "opening");
    TZyDatabase second;
    EXPECT_EQ(TryOpen(second, path_, mode), SharingViolation(mode));
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(ReadBytes(path_), before) << "the refused opener changed the file";
  }

  ASSERT_EQ(write(release[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(holder, &status, 0), holder);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(ready[0]);
  close(release[1]);

  TZyDatabase second;
  ASSERT_EQ(TryOpen(second, path_, 0), "");
  const std::string dump = ZyDumpDatabase(second);
  EXPECT_NE(dump.find("table ITEMS"), std::string::npos);
  second.Close();
  EXPECT_EQ(ReadBytes(path_), before) << "opening and reading changed the file";
}

TEST_F(SecondOpenerTest, SecondObjectInTheSameProcessIsRefusedUntilTheFirstCloses) {
  TZyDatabase first, second;
  ASSERT_EQ(TryOpen(first, path_, 0), "");
  const std::string dump = ZyDumpDatabase(first);
  const std::vector<uint8_t> before = ReadBytes(path_);
  for (uint64_t mode : {uint64_t(0), zydDatabaseCreate, uint64_t(0)}) {
    SCOPED_TRACE(mode ? "creating" : "opening");
    EXPECT_EQ(TryOpen(second, path_, mode), SharingViolation(mode));
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(ReadBytes(path_), before);
  }
  // The first opener is unaffected by the refusals.
  EXPECT_EQ(ZyDumpDatabase(first), dump);
  first.Close();
  // The object that was refused opens the file now, with the same content.
  ASSERT_EQ(TryOpen(second, path_, 0), "");
  EXPECT_EQ(ZyDumpDatabase(second), dump);
  // And now the first one is the one refused.
  EXPECT_EQ(TryOpen(first, path_, 0), SharingViolation());
}

}  // namespace
