// Text and Binary values through a field on a real table: text read on demand, and the owned
// stream of AsBinary released at the right moments.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyException.h"
#include "engine/storage/ZyVirtualFile.h"
#include "engine/table/ZyDatabaseField.h"
#include "engine/table/ZyDatabaseMain.h"
#include "platform/framework/Stream.h"

namespace {

class FieldStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir ? dir : "/tmp") + "/zycolumns_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".zyd";
    db_.FileName = path_;
    db_.Open(zydDatabaseCreate);
    table_ = db_.SysTableAdd(zydSysKey, "DOCS");
    table_->ColumnAdd("TXT", zydText, zydColumnNullable, 0);
    table_->ColumnAdd("BIN", zydBinary, zydColumnNullable, 0);
    table_->CreateDone();
    AddRow("first text", "\x01\x02\x03");
    AddRow("second", "\xFF");
    AddRow(nullptr, nullptr);
  }
  void TearDown() override {
    fields_.reset();  // fields go before their database, as a query's do
    db_.Close();
    std::remove(path_.c_str());
  }

  void AddRow(const char* text, const char* bytes) {
    zyfw::TMemoryStream stream;
    if (bytes) stream.WriteBuffer(bytes, static_cast<int32_t>(std::strlen(bytes)));
    table_->RowAddBegin();
    table_->RowAddField("TXT", text, zydText, -1);
    table_->RowAddField("BIN", bytes ? &stream : nullptr, zydBinary, -1);
    table_->RowAddEnd();
  }

  TZyDatabaseField* Field(const char* name) {
    if (!fields_) fields_ = std::make_unique<TZyDatabaseFields>();
    const int32_t i = fields_->FindIndex(name);
    return i >= 0 ? fields_->Get(i) : fields_->Add(table_, table_->ColumnsGet()->Find(name));
  }

  // Moves the field onto row, as the cursor does.
  void Load(TZyDatabaseField* field, uint64_t row) {
    uint8_t buffer[9] = {};
    bool isNull = false;
    TZyDatabaseColumnTypes type;
    table_->FieldGetData(row, field->ColumnNameGet(), buffer, &isNull, &type);
    field->SysDataSet(zydSysKey, buffer, isNull, type);
  }

  static std::string ReadAll(zyfw::TStream* stream) {
    std::string s(static_cast<size_t>(stream->Size()), '\0');
    stream->PositionSet(0);
    stream->ReadBuffer(&s[0], static_cast<int32_t>(s.size()));
    return s;
  }

  // True if the value stream of key can be opened now; streams open exclusively, so a stream
  // the field still holds cannot.
  bool Free(uint64_t key) {
    try {
      table_->FieldGetFile(key);
      return true;
    } catch (const EZyException&) {
      return false;
    }
  }

  std::string path_;
  TZyDatabase db_;
  TZyDatabaseTable* table_ = nullptr;
  std::unique_ptr<TZyDatabaseFields> fields_;
};

TEST_F(FieldStreams, TextIsReadFromItsStream) {
  TZyDatabaseField* text = Field("TXT");
  Load(text, 1);
  EXPECT_EQ(text->AsString(), "first text");
  EXPECT_EQ(text->AsText(), "first text");
  EXPECT_EQ(text->AsBinary(), nullptr);  // a Text value is not opened as binary
  Load(text, 2);
  EXPECT_EQ(text->AsText(), "second");
  Load(text, 3);
  EXPECT_TRUE(text->IsNullGet());
  EXPECT_EQ(text->AsString(), "");
}

TEST_F(FieldStreams, BinaryStreamBelongsToTheFieldUntilReleased) {
  TZyDatabaseField* bin = Field("BIN");
  Load(bin, 1);
  EXPECT_EQ(bin->AsString(), "");
  const uint64_t firstKey = bin->ValueKeyGet();
  zyfw::TStream* s = bin->AsBinary();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ReadAll(s), "\x01\x02\x03");
  EXPECT_FALSE(Free(firstKey));
  // Asked again, the field lets the first stream go and opens the value anew.
  s = bin->AsBinary();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ReadAll(s), "\x01\x02\x03");
  bin->CloseBinary();
  EXPECT_TRUE(Free(firstKey));

  // Loading the next value releases the stream too.
  ASSERT_NE(bin->AsBinary(), nullptr);
  Load(bin, 2);
  EXPECT_TRUE(Free(firstKey));
  EXPECT_EQ(ReadAll(bin->AsBinary()), "\xFF");

  Load(bin, 3);
  EXPECT_TRUE(bin->IsNullGet());
  EXPECT_EQ(bin->AsBinary(), nullptr);
  bin->CloseBinary();  // nothing held: harmless
}

TEST_F(FieldStreams, AMissingValueStreamIsReported) {
  TZyDatabaseField* text = Field("TXT");
  const uint64_t nowhere = 0xFE00000001ull;
  text->SysDataSet(zydSysKey, &nowhere, false, zydText);
  EXPECT_THROW(text->AsString(), EZyException);
  TZyDatabaseField* bin = Field("BIN");
  bin->SysDataSet(zydSysKey, &nowhere, false, zydBinary);
  EXPECT_THROW(bin->AsBinary(), EZyException);
}

}  // namespace
