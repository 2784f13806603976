// RowAddField and RowUpdateField find a field's column by name, trying first the column the same
// call of the previous row named. Whatever order and spelling callers use from row to row, every
// value lands in its own column, and an unknown name is refused as it always was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/table/ZyDatabaseMain.h"
#include "platform/framework/Exception.h"

namespace {

class FieldOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir ? dir : "/tmp") + "/zyfieldorder_" + std::to_string(getpid()) + ".zyd";
    db_.FileName = path_;
    db_.Open(zydDatabaseCreate);
    t_ = db_.SysTableAdd(zydSysKey, "ORDERS");
    for (const char* name : {"A", "B", "C", "D"}) t_->ColumnAdd(name, zydSignedInt32, 0, 0);
    t_->CreateDone();
  }
  void TearDown() override {
    db_.Close();
    std::remove(path_.c_str());
  }
  int32_t Get(uint64_t row, const char* column) {
    int32_t v = 0;
    uint8_t buf[8] = {};
    bool isNull = false;
    TZyDatabaseColumnTypes type;
    t_->FieldGetData(row, column, buf, &isNull, &type);
    std::memcpy(&v, buf, 4);
    return v;
  }

  std::string path_;
  TZyDatabase db_;
  TZyDatabaseTable* t_ = nullptr;
};

TEST_F(FieldOrderTest, EveryValueLandsInItsColumnWhateverTheOrder) {
  // Each row names the four columns as listed, with the value 10 * row + column number (1-4).
  const std::vector<std::vector<std::string>> rows = {
      {"A", "B", "C", "D"}, {"A", "B", "C", "D"}, {"D", "C", "B", "A"}, {"a", "b", "c", "d"},
      {"A", "B", "C", "D"}, {"B", "A", "D", "C"}, {"A", "b", "C", "d"}, {"C", "D", "A", "B"},
  };
  for (size_t r = 0; r < rows.size(); ++r) {
    t_->RowAddBegin();
    for (const std::string& name : rows[r]) {
      const int32_t v = int32_t(10 * (r + 1)) + (std::toupper(name[0]) - 'A' + 1);
      t_->RowAddField(name, &v, zydSignedInt32, 4);
    }
    ASSERT_EQ(t_->RowAddEnd(), 0u);
  }
  // A row that names a column twice keeps the later value; one that names fewer columns than the
  // last row (then more again) uses the lookup where the guesses run out.
  t_->RowUpdateBegin(2);
  for (const char* name : {"D", "D", "A", "B", "C"}) {
    const int32_t v = name[0] == 'D' ? 99 : 20 + (name[0] - 'A' + 1);
    t_->RowUpdateField(name, &v, zydSignedInt32, 4);
  }
  t_->RowUpdateEnd(false);
  for (size_t r = 0; r < rows.size(); ++r)
    for (const char* c : {"A", "B", "C", "D"}) {
      const int32_t want = r == 1 && c[0] == 'D' ? 99 : int32_t(10 * (r + 1)) + (c[0] - 'A' + 1);
      EXPECT_EQ(Get(r + 1, c), want) << "row " << r + 1 << " column " << c;
    }
}

TEST_F(FieldOrderTest, AnUnknownNameIsRefusedWhereAKnownOneStood) {
  const int32_t v = 5;
  for (int round = 0; round < 2; ++round) {
    t_->RowAddBegin();
    t_->RowAddField("A", &v, zydSignedInt32, 4);
    t_->RowAddField("B", &v, zydSignedInt32, 4);
    t_->RowAddField("C", &v, zydSignedInt32, 4);
    t_->RowAddField("D", &v, zydSignedInt32, 4);
    t_->RowAddEnd();
  }
  t_->RowAddBegin();
  t_->RowAddField("A", &v, zydSignedInt32, 4);
  try {
    t_->RowAddField("NOPE", &v, zydSignedInt32, 4);
    FAIL() << "an unknown column was accepted";
  } catch (const zyfw::EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
  }
  // The row goes on, and every later call finds its column.
  for (const char* name : {"A", "B", "C", "D"}) {
    const int32_t w = 7;
    t_->RowAddField(name, &w, zydSignedInt32, 4);
  }
  EXPECT_EQ(t_->RowAddEnd(), 0u);
  EXPECT_EQ(Get(3, "B"), 7);
}

}  // namespace
