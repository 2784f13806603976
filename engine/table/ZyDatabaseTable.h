// One table: its columns, its stream in the folder "Tables" and the single row buffer through
// which rows are read and written. The stream is an 88-byte header, then the counters record
// (record 0), then one fixed-size record per row, so row n is one seek away and a row keeps its
// number for ever. Text and Binary values live in streams of their own in the folder "Data".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseGenericObject.h"
#include "engine/table/ZyDatabaseColumn.h"
#include "engine/table/ZyDatabaseCompare.h"
#include "engine/table/ZyDatabaseRows.h"

namespace zyfw {
class TStream;
}
class TZyDatabase;
class TZyVirtualFolder;
class TZyVirtualFile;

// Mode bits of a table.
constexpr uint64_t zydTableModeCreate = 0x8000000000000000ull;  // create the stream
constexpr uint64_t zydTableModeSystem = 0x4000000000000000ull;  // a system table

// Layout of a table stream.
constexpr uint32_t zydTableHeaderSize = 88;
// Row numbers are 32-bit wherever rows are listed, so no table holds more rows than this.
constexpr uint64_t zydTableMaxRow = 0xFFFFFFFFull;

// Flag byte of a column in a row record.
constexpr uint8_t zydFlagValue = 0x80;
constexpr uint8_t zydFlagNull = 0x40;
constexpr uint8_t zydFlagNone = 0x00;
// Status word bit of a deleted row.
constexpr uint32_t zydRowDeleted = 0x80000000u;

class TZyDatabaseTable : public TZyDatabaseGenericObject {
 public:
  TZyDatabaseTable(const std::string& name, TZyVirtualFolder* tablesFolder, TZyDatabase* database,
                   uint64_t mode);
  ~TZyDatabaseTable() override;

  // Definition: ColumnAdd once per column, then CreateDone creates or loads the stream.
  void ColumnAdd(const std::string& name, TZyDatabaseColumnTypes type, uint64_t flags,
                 uint64_t size);
  void CreateDone();

  // Rows (numbers from 1). RowGet reads row into the row buffer and tells whether it is live.
  bool RowGet(uint64_t row);
  void RowSet();
  void RowAddBegin();
  void RowAddField(const std::string& column, const void* buffer, TZyDatabaseColumnTypes type,
                   int32_t size);
  uint64_t RowAddEnd() { return RowUpdateEnd(true); }
  bool RowUpdateBegin(uint64_t row);
  void RowUpdateField(const std::string& column, const void* buffer, TZyDatabaseColumnTypes type,
                      int32_t size) {
    RowAddField(column, buffer, type, size);
  }
  uint64_t RowUpdateEnd(bool append);
  void RowDelete(uint64_t row);

  // Values of the row in the row buffer.
  void ExtractData(void* destination, TZyDatabaseColumn* column, TZyDatabaseColumnTypes wanted);
  void* FieldGetData(uint64_t row, const std::string& column, void* destination, bool* isNull,
                     TZyDatabaseColumnTypes* type);
  std::string FieldGetString(TZyDatabaseColumn* column, uint64_t key);
  std::unique_ptr<TZyVirtualFile> FieldGetFile(uint64_t key);

  // Selection.
  bool FieldCompare(TZyDatabaseColumn* column, TZyDatabaseFieldOperations op, const void* value);
  std::unique_ptr<TZyDatabaseRows> RowsGet(const std::string& column,
                                           TZyDatabaseFieldOperations op, const void* value);

  // Reads the rows from first on into the row buffer one after another, in large sequential
  // reads, calling visit(row) for each record (deleted ones included) until visit returns false
  // or the table ends. Returns the number of the last record visited (0 if none).
  template <typename Visit>
  uint64_t Scan(uint64_t first, Visit visit);

  TZyDatabaseColumnList* ColumnsGet() { return columns_.get(); }
  TZyDatabase* DatabaseGet() { return database_; }
  bool SystemGet() const { return system_; }
  bool DefiningGet() const { return defining_; }
  uint64_t CurrentRowGet() const { return currentRow_; }
  uint32_t RecordSizeGet() const;
  // Number of records after the counters record: the highest row number in the stream.
  uint64_t RowCountGet();
  const uint8_t* RowBuffer() const { return row_.data(); }
  const uint8_t* HeaderGet() const { return header_; }
  const uint8_t* CountersGet() const { return counters_.data(); }
  TZyVirtualFile* StreamGet() { return stream_; }

  // The name of the value stream for key: 16 upper-case hex digits + ".dat".
  static std::string ValueStreamName(uint64_t key);

 private:
  void CheckWritable(const char* method);
  uint64_t StoreValue(const void* source, size_t length, zyfw::TStream* sourceStream,
                      uint64_t key);
  uint64_t RecordPosition(uint64_t row) const;
  // Reads up to count records from row on into scanBuffer_; returns how many arrived.
  uint32_t ReadRecords(uint64_t row, uint32_t count);

  TZyVirtualFolder* tablesFolder_;
  TZyVirtualFile* stream_ = nullptr;  // owned by the tables folder
  TZyVirtualFolder* dataFolder_ = nullptr;
  std::string streamName_;
  uint64_t mode_;
  bool defining_ = true;
  bool editing_ = false;
  bool system_;
  TZyDatabase* database_;
  uint8_t header_[zydTableHeaderSize] = {};
  std::vector<uint8_t> value_;
  std::vector<uint8_t> counters_;
  std::vector<uint8_t> row_;
  std::unique_ptr<TZyDatabaseColumnList> columns_;
  uint64_t currentRow_ = 0;
  std::vector<uint8_t> scanBuffer_;
  // Callers name a row's fields in the same order row after row, so the k-th RowAddField call
  // of a row first tries the column the k-th call of the last row named (one string compare)
  // before the case-folding name lookup. One slot per column, sized once the table is defined.
  std::vector<int32_t> fieldOrder_;
  size_t fieldCall_ = 0;
};

template <typename Visit>
uint64_t TZyDatabaseTable::Scan(uint64_t first, Visit visit) {
  const uint32_t size = RecordSizeGet();
  const uint32_t batch = size >= 65536 ? 1 : 65536 / size;
  uint64_t row = first;
  uint64_t last = 0;
  for (;;) {
    const uint32_t got = ReadRecords(row, batch);
    for (uint32_t i = 0; i < got; ++i, ++row) {
      std::copy(scanBuffer_.data() + size_t(i) * size, scanBuffer_.data() + size_t(i + 1) * size,
                row_.begin());
      currentRow_ = row;
      last = row;
      if (!visit(row)) return last;
    }
    if (got < batch) return last;
  }
}

class TZyDatabaseTableList : public TZyDatabaseGenericList {
 public:
  TZyDatabaseTable* Add(const std::string& name, TZyVirtualFolder* folder, TZyDatabase* owner,
                        uint64_t mode);
  TZyDatabaseTable* Get(int32_t index) const {
    return static_cast<TZyDatabaseTable*>(ItemGet(index));
  }
};
