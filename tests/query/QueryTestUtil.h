// Shared fixture of the query tests: a fresh database file per test, statements run through the
// query object, and one check for the five parts of an error entry.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/table/ZyDatabaseMain.h"

namespace zyquerytest {

inline std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/zyquery_" + std::to_string(getpid()) + "_" + name +
         ".zyd";
}

// Runs f, which must raise an EZyException; returns it.
inline EZyException Raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const EZyException& e) {
    return e;
  }
  ADD_FAILURE() << "no EZyException was raised";
  return EZyException(0, "", "", "");
}

// sourceModule is the module the explorer's build names; the library's build says "ZyDatabase".
inline void ExpectError(const EZyException& e, uint32_t code, const char* sourceModule,
                        const std::string& method, const std::string& text,
                        const std::string& details = std::string()) {
  EXPECT_EQ(e.CodeGet(0), code) << e.what();
  EXPECT_EQ(e.ModuleGet(0), zydModuleText(sourceModule));
  EXPECT_EQ(e.MethodGet(0), method);
  EXPECT_EQ(e.TextGet(0), text);
  EXPECT_EQ(e.DetailsGet(0), details);
}

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
    db_.FileName = path_;
    db_.Open(zydDatabaseCreate);
  }
  void TearDown() override {
    db_.Close();
    std::remove(path_.c_str());
  }

  std::unique_ptr<TZyDatabaseQuery> Query(const std::string& sql) {
    auto q = std::make_unique<TZyDatabaseQuery>(&db_);
    q->SQLGet().TextSet(sql);
    return q;
  }
  // Executes sql and returns the rows it affected.
  uint32_t Exec(const std::string& sql) {
    auto q = Query(sql);
    q->ExecSQL();
    return q->RowsAffectedGet();
  }
  // The values of column in the rows of a SELECT, as text ("NULL" for a null value), in order.
  std::vector<std::string> Column(const std::string& sql, const std::string& column) {
    auto q = Query(sql);
    q->Open();
    std::vector<std::string> out;
    while (q->Next()) {
      TZyDatabaseField* f = q->FieldByName(column);
      out.push_back(f->IsNullGet() ? "NULL" : f->AsString());
    }
    return out;
  }
  // The table row numbers a SELECT returns, in order.
  std::vector<uint32_t> RowIds(const std::string& sql) {
    auto q = Query(sql);
    q->Open();
    std::vector<uint32_t> out;
    while (q->Next()) out.push_back(q->SysCurrentRowNo());
    return out;
  }
  TZyDatabaseTable* Table(const std::string& name) {
    TZyDatabaseTableList* list = db_.SysTables(zydSysKey);
    const int32_t i = list->FindIndex(name);
    return i < 0 ? nullptr : list->Get(i);
  }

  std::string path_;
  TZyDatabase db_;
};

}  // namespace zyquerytest
