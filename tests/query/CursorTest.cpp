// The cursor of an open SELECT: moves and their results at both ends, the search that runs only
// as far as a move needs and finds rows appended later, the shortcut for the current position,
// and table row numbers of result rows.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>

#include "tests/query/QueryTestUtil.h"

namespace zyquerytest {
namespace {

class CursorTest : public QueryTest {
 protected:
  void SetUp() override {
    QueryTest::SetUp();
    Exec("CREATE TABLE R (N SignedInt32, S String(10) NULL, M Text NULL)");
  }
  void Add(int n, const std::string& s = "x") {
    Exec("INSERT INTO R (N, S) VALUES (" + std::to_string(n) + ", '" + s + "')");
  }
  // The value of N in the row the cursor loaded last.
  int32_t N(TZyDatabaseQuery& q) { return q.FieldByName("N")->AsSignedInt32(); }
};

TEST_F(CursorTest, AnEmptyResult) {
  auto q = Query("SELECT * FROM R");
  q->Open();
  EXPECT_FALSE(q->First());
  EXPECT_EQ(q->RecordNoGet(), 0u);
  EXPECT_FALSE(q->Next());
  EXPECT_FALSE(q->Prior());
  EXPECT_EQ(q->RecordNoGet(), 0u);
  // Nothing to land on: Last fails and the cursor stays where it was.
  EXPECT_FALSE(q->Last());
  EXPECT_EQ(q->RecordNoGet(), 0u);
  EXPECT_TRUE(q->AfterLast());
  EXPECT_EQ(q->RecordNoGet(), 1u);
  EXPECT_EQ(q->RecordCountGet(), 0u);
  EXPECT_FALSE(q->Last());
  EXPECT_EQ(q->RecordNoGet(), 1u);
  EXPECT_EQ(q->SysCurrentRowNo(), 0u);
  EXPECT_TRUE(q->BeforeFirst());
  EXPECT_EQ(q->RecordNoGet(), 0u);
}

TEST_F(CursorTest, OneRowAndThreeRows) {
  Add(10);
  auto q = Query("SELECT N FROM R");
  q->Open();
  EXPECT_TRUE(q->First());
  EXPECT_EQ(q->RecordNoGet(), 1u);
  EXPECT_FALSE(q->Next());
  EXPECT_EQ(q->RecordNoGet(), 1u);
  EXPECT_FALSE(q->Prior());
  EXPECT_EQ(q->RecordNoGet(), 1u);
  EXPECT_EQ(N(*q), 10);

  Add(20);
  Add(30);
  q->Open();
  EXPECT_TRUE(q->Last());
  EXPECT_EQ(q->RecordNoGet(), 4u);  // after the last row, whose values are loaded
  EXPECT_EQ(N(*q), 30);
  EXPECT_EQ(q->SysCurrentRowNo(), 0u);
  EXPECT_TRUE(q->Prior());
  EXPECT_EQ(q->RecordNoGet(), 3u);
  EXPECT_EQ(N(*q), 30);
  EXPECT_TRUE(q->Prior());
  EXPECT_TRUE(q->Prior());
  EXPECT_EQ(N(*q), 10);
  EXPECT_FALSE(q->Prior());
  EXPECT_EQ(q->RecordNoGet(), 1u);
  // Position beyond the result: false, the cursor stays, the search has run to the end.
  EXPECT_FALSE(q->Position(10));
  EXPECT_EQ(q->RecordNoGet(), 1u);
  EXPECT_EQ(q->RecordCountGet(), 3u);
  EXPECT_FALSE(q->Position(0));
  EXPECT_TRUE(q->Position(2));
  EXPECT_EQ(N(*q), 20);
  q->RecordNoSet(3);
  EXPECT_EQ(N(*q), 30);
  // A forward loop from BeforeFirst, and a backward one from AfterLast.
  std::vector<int32_t> forward, backward;
  q->BeforeFirst();
  while (q->Next()) forward.push_back(N(*q));
  q->AfterLast();
  while (q->Prior()) backward.push_back(N(*q));
  EXPECT_EQ(forward, (std::vector<int32_t>{10, 20, 30}));
  EXPECT_EQ(backward, (std::vector<int32_t>{30, 20, 10}));
}

TEST_F(CursorTest, TheSearchGoesOnlyAsFarAsAMoveNeeds) {
  for (int i = 1; i <= 300; ++i) Add(i);
  auto q = Query("SELECT N FROM R WHERE N >= 100");
  q->Open();
  EXPECT_EQ(q->RecordCountGet(), 0u);  // opening reads no row
  ASSERT_TRUE(q->First());
  EXPECT_EQ(q->RecordCountGet(), 1u);
  EXPECT_EQ(N(*q), 100);
  ASSERT_TRUE(q->Position(50));
  EXPECT_EQ(q->RecordCountGet(), 50u);
  EXPECT_EQ(N(*q), 149);
  EXPECT_EQ(q->SysCurrentRowNo(), 149u);
  // Revisiting a record already found searches nothing more.
  ASSERT_TRUE(q->Position(7));
  EXPECT_EQ(q->RecordCountGet(), 50u);
  EXPECT_EQ(N(*q), 106);
  // Prior from before the first row asks for the last possible record: the whole table.
  q->BeforeFirst();
  EXPECT_FALSE(q->Prior());
  EXPECT_EQ(q->RecordCountGet(), 201u);
  // A new Open starts a new search; RecordCount keeps its value until the first move.
  q->Open();
  EXPECT_EQ(q->RecordCountGet(), 201u);
  EXPECT_TRUE(q->Next());
  EXPECT_EQ(q->RecordCountGet(), 1u);
}

TEST_F(CursorTest, RowsAppendedAfterTheEndAreFoundLater) {
  Add(1);
  Add(2, "skip");
  auto q = Query("SELECT N, S FROM R WHERE S = 'x'");
  q->Open();
  ASSERT_TRUE(q->First());
  EXPECT_FALSE(q->Next());  // the search reached the end of the table
  Add(3, "skip");
  Add(4);
  EXPECT_TRUE(q->Next());
  EXPECT_EQ(N(*q), 4);
  EXPECT_EQ(q->SysCurrentRowNo(), 4u);
  Add(5);
  EXPECT_TRUE(q->Last());
  EXPECT_EQ(N(*q), 5);
  EXPECT_EQ(q->RecordCountGet(), 3u);
  Add(6);
  EXPECT_TRUE(q->AfterLast());
  EXPECT_EQ(q->RecordCountGet(), 4u);
  // Rows behind the search keep their place, even when they no longer match.
  Exec("UPDATE R SET S = 'gone' WHERE N = 1");
  ASSERT_TRUE(q->First());
  EXPECT_EQ(N(*q), 1);
  EXPECT_EQ(q->FieldByName("S")->AsString(), "gone");
}

TEST_F(CursorTest, TheCurrentPositionIsNotReloaded) {
  Add(1);
  Add(2);
  auto q = Query("SELECT * FROM R");
  q->Open();
  ASSERT_TRUE(q->First());
  Exec("UPDATE R SET N = 100 WHERE SYS_ROWID = 1");
  EXPECT_TRUE(q->Position(1));
  EXPECT_EQ(N(*q), 1);  // the values of the row as it was loaded
  EXPECT_TRUE(q->First());  // First loads row 1 again
  EXPECT_EQ(N(*q), 100);
  // The shortcut holds even on a closed query; any other move there raises.
  q->Close();
  EXPECT_TRUE(q->Position(q->RecordNoGet()));
  struct Move {
    const char* method;
    std::function<void()> run;
  };
  const Move moves[] = {
      {"TZyDatabaseQuery.Position", [&] { q->Position(q->RecordNoGet() + 1); }},
      {"TZyDatabaseQuery.First", [&] { q->First(); }},
      {"TZyDatabaseQuery.Next", [&] { q->Next(); }},
      {"TZyDatabaseQuery.Prior", [&] { q->Prior(); }},
      {"TZyDatabaseQuery.Last", [&] { q->Last(); }},
      {"TZyDatabaseQuery.BeforeFirst", [&] { q->BeforeFirst(); }},
      {"TZyDatabaseQuery.AfterLast", [&] { q->AfterLast(); }},
      {"TZyDatabaseQuery.SysCurrentRowNo", [&] { q->SysCurrentRowNo(); }},
  };
  for (const Move& m : moves) {
    SCOPED_TRACE(m.method);
    ExpectError(Raised(m.run), 0x80000403, zydModQuery, m.method,
                std::string("The query must be active before calling ") + m.method);
  }
}

TEST_F(CursorTest, QueriesOnOneTableEachLoadTheirOwnRow) {
  for (int i = 1; i <= 4; ++i) Add(i, "s" + std::to_string(i));
  const std::string memo = "memo of row 3";
  auto memoSet = Query("UPDATE R SET M = :m WHERE SYS_ROWID = 3");
  memoSet->ParamByName("m")->TextSet(memo);
  memoSet->ExecSQL();
  auto a = Query("SELECT N, S, M FROM R");
  auto b = Query("SELECT S, N FROM R WHERE N > 2");
  a->Open();
  b->Open();
  ASSERT_TRUE(a->First());
  ASSERT_TRUE(b->First());
  ASSERT_TRUE(a->Next());
  EXPECT_EQ(N(*a), 2);
  EXPECT_EQ(N(*b), 3);
  ASSERT_TRUE(b->Next());
  ASSERT_TRUE(a->Next());
  EXPECT_EQ(a->FieldByName("S")->AsString(), "s3");
  EXPECT_EQ(a->FieldByName("M")->AsString(), memo);
  EXPECT_EQ(b->FieldByName("S")->AsString(), "s4");
  EXPECT_EQ(a->SysCurrentRowNo(), 3u);
  EXPECT_EQ(b->SysCurrentRowNo(), 4u);
  ASSERT_TRUE(a->Next());
  EXPECT_TRUE(a->FieldByName("M")->IsNullGet());
}

TEST_F(CursorTest, DeletedRowsAreSkippedAndRowNumbersKept) {
  for (int i = 1; i <= 6; ++i) Add(i);
  Exec("DELETE FROM R WHERE N = 2 OR N = 5");
  std::vector<uint32_t> ids = RowIds("SELECT N FROM R");
  EXPECT_EQ(ids, (std::vector<uint32_t>{1, 3, 4, 6}));
  auto q = Query("SELECT N FROM R");
  q->Open();
  EXPECT_EQ(q->SysCurrentRowNo(), 0u);
  ASSERT_TRUE(q->Position(3));
  EXPECT_EQ(q->SysCurrentRowNo(), 4u);
  EXPECT_EQ(N(*q), 4);
}

// Makes every later read of the open file at path fail: its descriptor now names a directory.
void BreakReads(const std::string& path) {
  char resolved[4096];
  ASSERT_NE(realpath(path.c_str(), resolved), nullptr);
  bool found = false;
  for (int fd = 3; fd < 1024 && !found; ++fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = 0;
    if (std::string(target) != resolved) continue;
    const int dir = open("/", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    ASSERT_EQ(dup2(dir, fd), fd);
    close(dir);
    found = true;
  }
  ASSERT_TRUE(found);
}

TEST_F(CursorTest, AStorageFailureDuringTheSearchReachesTheCaller) {
  Exec("CREATE TABLE BIG (N SignedInt32, S String(200))");
  for (int i = 1; i <= 400; ++i)
    Exec("INSERT INTO BIG VALUES (" + std::to_string(i) + ", 's')");
  // The file's reads fail once the search is under way.
  auto q = Query("SELECT N FROM BIG WHERE N > 0");
  q->Open();
  int moved = 0;
  while (moved < 100 && q->Next()) ++moved;
  ASSERT_EQ(moved, 100);
  BreakReads(path_);
  // Only the end of the table ends a search quietly: a result cut short by a damaged file would
  // pass for a complete one.
  const EZyException forward = Raised([&] {
    while (q->Next()) ++moved;
  });
  EXPECT_EQ(forward.ModuleGet(0), "System");
  EXPECT_EQ(forward.MethodGet(0), "IStream.Read");
  EXPECT_EQ(q->RecordCountGet(), uint32_t(moved));
  q->Open();
  EXPECT_EQ(Raised([&] { q->Last(); }).ModuleGet(0), "System");
  EXPECT_EQ(Raised([&] { Exec("DELETE FROM BIG WHERE N = 400"); }).ModuleGet(0), "System");
}

}  // namespace
}  // namespace zyquerytest
