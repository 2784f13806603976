#include <cstdio>
#include <memory>
#include <string>

#include "engine/query/ZyDatabaseQuery.h"
#include "fuzz/FuzzBodies.h"
#include "platform/framework/Exception.h"
#include "platform/framework/Stream.h"

namespace {

// The database every statement runs against: a table of every column type with rows that hold
// values, NULLs and Text and Binary streams, a small table and an empty one. Made once per
// process; a statement that may have changed it brings back the pristine file.
const char* const kSetUp[] = {
    "CREATE TABLE ALLTYPES (ID SignedInt64 AutoNumber, I32 SignedInt32 NULL, U32 UnsignedInt32 NULL, "
    "I16 SignedInt16 NULL, U16 UnsignedInt16 NULL, I8 SignedInt8 NULL, U8 UnsignedInt8 NULL, "
    "F4 Float4 NULL, F8 Float8 NULL, F10 Float10 NULL, B Boolean NULL, C Currency NULL, "
    "D DateTime NULL, S String(12) NULL, BY Byte(6) NULL, T Text NULL, X Binary NULL)",
    "CREATE TABLE SMALL (K SignedInt32, NAME String(10) NULL)",
    "CREATE TABLE EMPTY (E Float8 NULL)",
    "INSERT INTO ALLTYPES (I32, U32, I16, U16, I8, U8, F4, F8, F10, B, C, D, S, BY) VALUES "
    "(-5, 7, -300, 65535, -1, 200, 1.5, -2.25, 3.125, TRUE, 12.3456, '01/02/2003', 'alpha', "
    "'ab')",
    "INSERT INTO ALLTYPES (I32, S) VALUES (1, 'beta')",
    "INSERT INTO ALLTYPES (I32, F8) VALUES (2, 1000000.5)",
    "INSERT INTO SMALL VALUES (1, 'one')",
    "INSERT INTO SMALL (K) VALUES (2)",
    "INSERT INTO SMALL VALUES (3, 'three')",
    "DELETE FROM SMALL WHERE K = 2",
};

class Fixture {
 public:
  Fixture() : path_(ZyFuzzScratchPath("sql")) {
    {
      TZyDatabase db;
      db.FileName = path_;
      db.FileVersion = 3;
      db.Open(zydDatabaseCreate);
      TZyDatabaseQuery query(&db);
      for (const char* sql : kSetUp) {
        query.SQLGet().TextSet(sql);
        query.ExecSQL();
      }
      // Text and Binary values, which no literal gives.
      query.SQLGet().TextSet("UPDATE ALLTYPES SET T = :t, X = :x WHERE I32 = 1 OR I32 = 2");
      zyfw::TMemoryStream bytes;
      bytes.WriteBuffer("\x00\x01\x02\xff", 4);
      query.ParamByName("t")->TextSet("some text");
      query.ParamByName("x")->BinarySet(bytes);
      query.ExecSQL();
    }
    zyfw::TMemoryStream file;
    file.LoadFromFile(path_);
    pristine_ = file.Bytes();
    Reopen();
  }
  ~Fixture() {
    db_.reset();
    std::remove(path_.c_str());
  }
  TZyDatabase& Database() { return *db_; }
  void Restore() {
    db_.reset();
    ZyFuzzWriteFile(path_, pristine_.data(), pristine_.size());
    Reopen();
  }

 private:
  void Reopen() {
    db_ = std::make_unique<TZyDatabase>();
    db_->FileName = path_;
    db_->Open(0);
  }
  std::string path_;
  std::vector<uint8_t> pristine_;
  std::unique_ptr<TZyDatabase> db_;
};

// Reads every field of the current row in every way a caller might.
void ReadRow(TZyDatabaseFields& fields) {
  for (int32_t i = 0; i < fields.CountGet(); ++i) {
    TZyDatabaseField* field = fields.Get(i);
    try {
      field->AsString();
    } catch (const zyfw::Exception&) {
    }
    try {
      field->AsSignedInt64();
    } catch (const zyfw::Exception&) {
    }
    try {
      field->AsFloat10();
    } catch (const zyfw::Exception&) {
    }
    try {
      if (zyfw::TStream* stream = field->AsBinary()) {
        char buffer[256];
        while (stream->Read(buffer, sizeof buffer) > 0) {
        }
      }
    } catch (const zyfw::Exception&) {
    }
  }
}

}  // namespace

int ZyFuzzSql(const uint8_t* data, size_t size) {
  static Fixture* fixture = new Fixture;  // lives for the process, like the fuzzer's loop
  bool touched = false;
  {
    TZyDatabaseQuery query(&fixture->Database());
    try {
      query.SQLGet().TextSet(std::string(reinterpret_cast<const char*>(data), size));
      query.Prepare();
      touched = true;  // from here on the statement may write
      query.Open();
      if (query.ActiveGet()) {
        touched = false;  // a SELECT: it only reads
        // The walk: forwards to the end (bounded), back once, last and first again.
        int rows = 0;
        for (bool on = query.First(); on && rows < 2000; on = query.Next(), ++rows)
          ReadRow(query.FieldsGet());
        query.Prior();
        query.Last();
        query.Prior();
        query.BeforeFirst();
        query.Next();
        query.Close();
      }
    } catch (const zyfw::Exception&) {
      // Refused text, or a statement that failed with its error: both are fine.
    }
  }
  if (touched) fixture->Restore();
  return 0;
}
