#include "engine/table/ZyDatabaseTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/package/ZyDatabaseVersion.h"
#include "engine/storage/ZyVirtualFile.h"
#include "engine/storage/ZyVirtualFolder.h"
#include "engine/table/ZyDatabaseCatalog.h"
#include "engine/table/ZyDatabaseConvert.h"
#include "engine/table/ZyDatabaseMain.h"
#include "platform/compound/CompoundResult.h"
#include "platform/framework/Random.h"
#include "platform/framework/Stream.h"

namespace {

[[noreturn]] void Raise(uint32_t code, const char* method, const std::string& text) {
  throw EZyException(code, zydModuleText(zydModTable), method, text);
}

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

// A table stream is limited by what its row numbers can name (32 bits) and by what the
// compound file can hold in one stream; version-3 files cap every stream at 2 GiB.
constexpr uint64_t kMaxStreamBytes = 0x80000000ull * 8192;  // 16 TiB, the version-4 bound

}  // namespace

// ---- construction and definition ------------------------------------------------------------

TZyDatabaseTable::TZyDatabaseTable(const std::string& name, TZyVirtualFolder* tablesFolder,
                                   TZyDatabase* database, uint64_t mode)
    : TZyDatabaseGenericObject(name),
      tablesFolder_(tablesFolder),
      mode_(mode),
      system_((mode & zydTableModeSystem) != 0),
      database_(database) {
  try {
    ZyDatabaseIsNameValid(name, true);
  } catch (const EZyException& e) {
    throw EZyException(zydErrNameInvalid, zydModuleText(zydModTable), zydMthTableCreate,
                       zydTxtNameInvalid, "", &e);
  }
  columns_ = std::make_unique<TZyDatabaseColumnList>();
  streamName_ = name + ".tbl";
  dataFolder_ = database_->SysDataFolder(zydSysKey);
  if (!(mode_ & zydTableModeCreate)) {
    // The last listed stream whose name matches, letter case aside, is this table's.
    const std::string wanted = Upper(streamName_);
    TZyVirtualFile* found = nullptr;
    for (int32_t i = 0; i < tablesFolder_->FileCountGet(); ++i) {
      TZyVirtualFile* file = tablesFolder_->FileGet(i);
      if (Upper(zycfb::Utf16ToUtf8(file->NameGet())) == wanted) found = file;
    }
    if (!found) {
      // The catalogue names a table whose stream is gone: this file is not a sound database.
      throw EZyException(zydErrNotDatabase, zydModuleText(zydModTable), zydMthTableCreate,
                         zydFormat(zydTxtNotDatabase,
                                   ("the stream of table '" + name + "' is missing").c_str()));
    }
    found->Open(zydVirtualFileExclusive | zydVirtualFileReadWrite);
    stream_ = found;
  }
}

TZyDatabaseTable::~TZyDatabaseTable() = default;

uint32_t TZyDatabaseTable::RecordSizeGet() const { return columns_->RecordSizeGet(); }

void TZyDatabaseTable::ColumnAdd(const std::string& name, TZyDatabaseColumnTypes type,
                                 uint64_t flags, uint64_t size) {
  if (!defining_) Raise(zydErrTableNotNew, zydMthTableCreateDone, zydTxtTableNotNew);
  columns_->Add(name, type, flags, size);
}

void TZyDatabaseTable::CreateDone() {
  if (!defining_) Raise(zydErrTableNotNew, zydMthTableCreateDone, zydTxtTableNotNew);
  std::memset(header_, 0, sizeof header_);
  header_[0] = 4;
  std::memcpy(header_ + 1, "ZYDB", 4);
  header_[8] = 5;
  std::memcpy(header_ + 9, "TABLE", 5);
  const uint32_t version = zydVersionPacked();
  for (int i = 0; i < 4; ++i) header_[20 + i] = static_cast<uint8_t>(version >> (8 * i));

  const uint32_t recordSize = RecordSizeGet();
  if (!(mode_ & zydTableModeCreate)) {
    // A stream written for this definition holds the header and whole records, the counters
    // record at least; appends never leave part of one (the stream's size grows only once the
    // whole record is in). Anything else means the catalogue and the stream disagree, and
    // reading on would show bytes of one column as another's. Checked before the buffers are
    // made, so a damaged catalogue cannot ask for gigabytes.
    const uint64_t size = static_cast<uint64_t>(stream_->FileSizeGet());
    if (recordSize == 0 || size < zydTableHeaderSize + uint64_t(recordSize) ||
        (size - zydTableHeaderSize) % recordSize != 0)
      throw EZyException(zydErrNotDatabase, zydModuleText(zydModTable), zydMthTableCreateDone,
                         zydFormat(zydTxtNotDatabase,
                                   ("the stream of table '" + NameGet() +
                                    "' does not match its definition").c_str()));
  }
  uint64_t largest = 0;
  for (int32_t i = 0; i < columns_->CountGet(); ++i)
    largest = std::max(largest, columns_->Get(i)->SizeGet());
  row_.assign(recordSize, 0);
  counters_.assign(recordSize, 0);
  value_.assign(largest + 1, 0);
  fieldOrder_.assign(size_t(columns_->CountGet()), -1);

  if (mode_ & zydTableModeCreate) {
    try {
      stream_ = tablesFolder_->FileCreate(Wide(streamName_)).get();
      // A user table's catalogue rows take several writes, and a process may die between any
      // two. So its stream starts with an all-zero header, and the real header goes in only
      // once every catalogue row is written: a table whose header is still blank is a creation
      // that never finished, which the next open takes back (see the catalogue).
      const bool registering = !(mode_ & zydTableModeSystem);
      const uint8_t blank[zydTableHeaderSize] = {};
      stream_->WriteBuffer(registering ? blank : header_, zydTableHeaderSize);
      stream_->WriteBuffer(counters_.data(), static_cast<int32_t>(recordSize));
      if (registering) {
        zydCatalogRegister(this);
        stream_->PositionSet(0);
        stream_->WriteBuffer(header_, zydTableHeaderSize);
      }
    } catch (...) {
      // A table without its stream or its catalogue rows must not be used: it leaves the table
      // list (the database keeps the object until it closes, since this call is still on it).
      database_->SysTableDiscard(zydSysKey, this);
      throw;
    }
  } else {
    // The header is read back as it is: nothing in it changes how the rows are read.
    stream_->PositionSet(0);
    stream_->Read(header_, zydTableHeaderSize);
    stream_->PositionSet(zydTableHeaderSize);
    stream_->Read(counters_.data(), static_cast<int32_t>(recordSize));
  }
  database_->SysNotify(this, (mode_ & zydTableModeCreate) ? zydNotifyCreate : zydNotifyLoad);
  defining_ = false;
}

// ---- rows -------------------------------------------------------------------------------------

uint64_t TZyDatabaseTable::RecordPosition(uint64_t row) const {
  // 64-bit arithmetic throughout: a stream past 4 GiB must never wrap onto the header.
  return zydTableHeaderSize + uint64_t(RecordSizeGet()) * row;
}

uint64_t TZyDatabaseTable::RowCountGet() {
  const uint64_t size = static_cast<uint64_t>(stream_->FileSizeGet());
  const uint64_t records = size <= zydTableHeaderSize ? 0 : (size - zydTableHeaderSize) / RecordSizeGet();
  return records ? records - 1 : 0;
}

bool TZyDatabaseTable::RowGet(uint64_t row) {
  if (row != currentRow_ || row == 0) {
    stream_->HugeSeek(static_cast<int64_t>(RecordPosition(row)), zyfw::soFromBeginning);
    const int32_t size = static_cast<int32_t>(RecordSizeGet());
    // Read into the scan buffer first so that a missing row leaves the row buffer as it was.
    if (scanBuffer_.size() < row_.size()) scanBuffer_.resize(row_.size());
    if (row == 0 || stream_->Read(scanBuffer_.data(), size) < size)
      Raise(zydErrNoMoreRows, zydMthTableRowGet, zydTxtNoMoreRows);
    std::copy(scanBuffer_.begin(), scanBuffer_.begin() + size, row_.begin());
    currentRow_ = row;
  }
  uint32_t status;
  std::memcpy(&status, row_.data(), 4);
  return (status & zydRowDeleted) == 0;
}

void TZyDatabaseTable::RowSet() {
  if (currentRow_ == 0) return;
  stream_->HugeSeek(static_cast<int64_t>(RecordPosition(currentRow_)), zyfw::soFromBeginning);
  stream_->WriteBuffer(row_.data(), static_cast<int32_t>(row_.size()));
}

void TZyDatabaseTable::RowAddBegin() {
  editing_ = true;
  fieldCall_ = 0;
  std::fill(row_.begin(), row_.end(), 0);
  currentRow_ = 0;
}

bool TZyDatabaseTable::RowUpdateBegin(uint64_t row) {
  const bool live = RowGet(row);
  editing_ = true;
  fieldCall_ = 0;
  return live;
}

void TZyDatabaseTable::CheckWritable(const char* method) {
  if (system_ && !database_->SysAllowUpdatesGet())
    Raise(zydErrSystemTableReadOnly, method, zydTxtSystemTableReadOnly);
}

void TZyDatabaseTable::RowAddField(const std::string& name, const void* buffer,
                                   TZyDatabaseColumnTypes type, int32_t size) {
  CheckWritable(zydMthTableRowAddField);
  if (!editing_) return;
  // Speed: the column this call named in the last row, when the name is that column's own byte
  // for byte (column names are unique, so it is the column the lookup would find), saves the
  // case-folding lookup. Anything else goes to the lookup.
  int32_t index = -1;
  const size_t call = fieldCall_++;
  if (call < fieldOrder_.size()) {
    const int32_t guess = fieldOrder_[call];
    if (guess >= 0 && columns_->Get(guess)->NameGet() == name) index = guess;
  }
  if (index < 0) {
    index = columns_->FindIndex(name);
    if (call < fieldOrder_.size()) fieldOrder_[call] = index;
  }
  TZyDatabaseColumn* column = columns_->Get(index);  // raises the list-index error if unknown
  const uint64_t columnSize = column->SizeGet();
  uint8_t* flag = row_.data() + column->OffsetGet();
  uint8_t* data = flag + 1;

  if (!buffer) {
    if (!column->NullableGet())
      Raise(zydErrNotNullable, zydMthTableRowAddField,
            zydFormat(zydTxtNotNullable, column->NameGet().c_str()));
    *flag = zydFlagNull;
    return;
  }

  const TZyDatabaseColumnTypes columnType = column->TypeGet();
  if (columnType == zydText || columnType == zydBinary) {
    // The value goes to a stream of its own; the row keeps its key. A Binary value arrives as a
    // stream, anything else as a zero-terminated text, whichever of the two the column is.
    uint64_t key;
    std::memcpy(&key, data, 8);
    if (type == zydBinary) {
      auto* stream = static_cast<zyfw::TStream*>(const_cast<void*>(buffer));
      key = StoreValue(nullptr, 0, stream, key);
    } else {
      const char* text = static_cast<const char*>(buffer);
      key = StoreValue(text, std::strlen(text), nullptr, key);
    }
    std::memcpy(data, &key, 8);
    *flag = zydFlagValue;
    return;
  }

  const void* source = buffer;
  uint64_t effective;
  if (type != columnType && columnType != zydByte) {
    // Converted in the value buffer first, so a refused conversion leaves the column as it was.
    zydConvertData(value_.data(), columnType, buffer, static_cast<uint32_t>(columnSize), type);
    source = value_.data();
    effective = columnSize;
  } else {
    effective = (size < 0 || uint64_t(size) > columnSize) ? columnSize : uint64_t(size);
  }
  if (type == zydString) {
    // A String value ends at its terminator when it has one within the given size; reading on
    // past it would copy whatever lies behind the caller's text.
    effective = strnlen(static_cast<const char*>(source), effective);
    std::memset(data, 0, columnSize);
  }
  std::memmove(data, source, effective);
  if (columnType == zydByte) data[columnSize] = static_cast<uint8_t>(type);
  *flag = zydFlagValue;
}

uint64_t TZyDatabaseTable::RowUpdateEnd(bool append) {
  if (!editing_) return 0;
  editing_ = false;
  uint64_t result = 0;
  bool changed = false;
  for (int32_t i = 0; i < columns_->CountGet(); ++i) {
    TZyDatabaseColumn* column = columns_->Get(i);
    uint8_t* flag = row_.data() + column->OffsetGet();
    if (*flag & 0x80) continue;
    if (column->AutoNumberGet()) {
      // The number lives in the column's own data bytes and its counter at the same place in
      // the counters record: 8 bytes for a 64-bit column, and only the column's width for a
      // narrower one, so that a SignedInt32 auto-number never spills into the next column's
      // flag byte (or past the end of the record when it is the last column).
      const size_t width = static_cast<size_t>(std::min<uint64_t>(8, column->SizeGet()));
      uint8_t* data = flag + 1;
      if (std::all_of(data, data + width, [](uint8_t b) { return b == 0; })) {
        // The number is used up even if the row is later refused.
        uint8_t* counter = counters_.data() + column->OffsetGet() + 1;
        int64_t last = 0;
        std::memcpy(&last, counter, width);
        if (width < 8 && (counter[width - 1] & 0x80) && column->TypeGet() != zydUnsignedInt32 &&
            column->TypeGet() != zydUnsignedInt16 && column->TypeGet() != zydUnsignedInt8)
          // Sign-extend a signed narrow counter.
          last = static_cast<int64_t>(static_cast<uint64_t>(last) | (~uint64_t(0) << (8 * width)));
        ++last;
        std::memcpy(counter, &last, width);
        std::memcpy(data, &last, width);
        changed = true;
        if (result == 0) result = static_cast<uint64_t>(last);
      }
    } else if (column->NullableGet()) {
      *flag = zydFlagNull;
    } else {
      Raise(zydErrMustBeSpecified, zydMthTableRowAddEnd,
            zydFormat(zydTxtMustBeSpecified, column->NameGet().c_str()));
    }
  }
  uint64_t newRow = 0;
  if (append) {
    const uint64_t size = static_cast<uint64_t>(stream_->HugeSeek(0, zyfw::soFromEnd));
    const uint64_t records = size <= zydTableHeaderSize ? 1 : (size - zydTableHeaderSize) / RecordSizeGet();
    newRow = records;  // record 0 is the counters record
    if (newRow > zydTableMaxRow || RecordPosition(newRow + 1) > kMaxStreamBytes)
      Raise(zydErrTableFull, zydMthTableRowAddEnd,
            zydFormat(zydTxtTableFull, NameGet().c_str()));
  }
  if (changed) {
    stream_->HugeSeek(zydTableHeaderSize, zyfw::soFromBeginning);
    stream_->WriteBuffer(counters_.data(), static_cast<int32_t>(counters_.size()));
  }
  if (append) {
    // The row goes exactly to its record position, even if an earlier write left a partial
    // record at the end: the row then overwrites the fragment instead of being misaligned. One
    // seek, here after the counters' write, serves both cases.
    stream_->HugeSeek(static_cast<int64_t>(RecordPosition(newRow)), zyfw::soFromBeginning);
    stream_->WriteBuffer(row_.data(), static_cast<int32_t>(row_.size()));
    currentRow_ = newRow;
  } else {
    RowSet();
  }
  return result;
}

void TZyDatabaseTable::RowDelete(uint64_t row) {
  CheckWritable(zydMthTableRowDelete);
  RowGet(row);
  uint32_t status;
  std::memcpy(&status, row_.data(), 4);
  status |= zydRowDeleted;
  std::memcpy(row_.data(), &status, 4);
  RowSet();
}

// ---- values -----------------------------------------------------------------------------------

void TZyDatabaseTable::ExtractData(void* destination, TZyDatabaseColumn* column,
                                   TZyDatabaseColumnTypes wanted) {
  const uint8_t* data = row_.data() + column->OffsetGet() + 1;
  const uint64_t size = column->SizeGet();
  if (wanted == column->TypeGet())
    std::memcpy(destination, data, size);
  else
    zydConvertData(destination, wanted, data, static_cast<uint32_t>(size), column->TypeGet());
}

void* TZyDatabaseTable::FieldGetData(uint64_t row, const std::string& name, void* destination,
                                     bool* isNull, TZyDatabaseColumnTypes* type) {
  const int32_t index = columns_->FindIndex(name);
  if (index < 0) return nullptr;
  TZyDatabaseColumn* column = columns_->Get(index);
  RowGet(row);
  const uint8_t* flag = row_.data() + column->OffsetGet();
  *isNull = *flag == zydFlagNull;
  ExtractData(destination, column, column->TypeGet());
  const uint64_t size = column->SizeGet();
  if (column->TypeGet() == zydString) static_cast<uint8_t*>(destination)[size] = 0;
  *type = column->TypeGet() == zydByte ? static_cast<TZyDatabaseColumnTypes>(flag[1 + size])
                                       : column->TypeGet();
  return destination;
}

std::string TZyDatabaseTable::ValueStreamName(uint64_t key) {
  char name[32];
  std::snprintf(name, sizeof name, "%08X%08X.dat", static_cast<unsigned>(key >> 32),
                static_cast<unsigned>(key & 0xFFFFFFFFu));
  return name;
}

std::unique_ptr<TZyVirtualFile> TZyDatabaseTable::FieldGetFile(uint64_t key) {
  return dataFolder_->FileOpen(Wide(ValueStreamName(key)),
                               zydVirtualFileExclusive | zydVirtualFileRead);
}

std::string TZyDatabaseTable::FieldGetString(TZyDatabaseColumn*, uint64_t key) {
  std::unique_ptr<TZyVirtualFile> file = FieldGetFile(key);
  const int64_t size = file->FileSizeGet();
  std::string text(static_cast<size_t>(size), '\0');
  int64_t done = 0;
  while (done < size) {
    const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(size - done, 1 << 30));
    file->ReadBuffer(&text[static_cast<size_t>(done)], chunk);
    done += chunk;
  }
  return text;
}

uint64_t TZyDatabaseTable::StoreValue(const void* source, size_t length, zyfw::TStream* sourceStream,
                                      uint64_t key) {
  if (key == 0) {
    static bool seeded = false;
    if (!seeded) {
      zyfw::Randomize();
      seeded = true;
    }
    // Probe random keys until one names no stream. Only "not found" means free: any other
    // failure (an element held open, a damaged file) must not be mistaken for a free key and
    // overwrite a value that is in use.
    for (;;) {
      key = (uint64_t(zyfw::Random(255)) << 32) | uint64_t(zyfw::Random(2147483647));
      try {
        FieldGetFile(key);
      } catch (const EZyException& e) {
        if (e.CodeGet(0) == zycfb::STG_E_FILENOTFOUND) break;
        throw;
      }
    }
  }
  // Creating replaces any stream of that name, so a changed value is rewritten in place.
  TZyVirtualRef<TZyVirtualFile> file = dataFolder_->FileCreate(Wide(ValueStreamName(key)));
  if (sourceStream) {
    sourceStream->PositionSet(0);
    file->CopyFrom(*sourceStream, 0);
  } else {
    const char* p = static_cast<const char*>(source);
    while (length > 0) {
      const int32_t chunk = static_cast<int32_t>(std::min<size_t>(length, 1 << 30));
      file->WriteBuffer(p, chunk);
      p += chunk;
      length -= chunk;
    }
  }
  return key;
}

// ---- selection --------------------------------------------------------------------------------

namespace {

// The comparison of one column of one record, wherever the record's bytes are.
bool CompareRecord(const uint8_t* record, TZyDatabaseColumn* column, TZyDatabaseFieldOperations op,
                   const void* value) {
  const uint8_t flag = record[column->OffsetGet()];
  if (!value) {
    if (op == zydFieldOpIsNull) return flag == zydFlagNull;
    if (op == zydFieldOpNotNull) return flag != zydFlagNull;
    return false;
  }
  if (flag == zydFlagNull) return false;
  return zydCompareValues(column->TypeGet(), static_cast<uint32_t>(column->SizeGet()),
                          record + column->OffsetGet() + 1, value, op);
}

}  // namespace

bool TZyDatabaseTable::FieldCompare(TZyDatabaseColumn* column, TZyDatabaseFieldOperations op,
                                    const void* value) {
  return CompareRecord(row_.data(), column, op, value);
}

uint32_t TZyDatabaseTable::ReadRecords(uint64_t row, uint32_t count) {
  const size_t size = RecordSizeGet();
  if (scanBuffer_.size() < size * count) scanBuffer_.resize(size * count);
  stream_->HugeSeek(static_cast<int64_t>(RecordPosition(row)), zyfw::soFromBeginning);
  size_t got = 0;
  const size_t want = size * count;
  while (got < want) {
    const int32_t n = stream_->Read(scanBuffer_.data() + got, static_cast<int32_t>(want - got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<uint32_t>(got / size);
}

std::unique_ptr<TZyDatabaseRows> TZyDatabaseTable::RowsGet(const std::string& name,
                                                          TZyDatabaseFieldOperations op,
                                                          const void* value) {
  TZyDatabaseColumn* column = columns_->Find(name);
  if (!column)
    Raise(zydErrColumnNotFound, zydMthTableRowsGet, zydFormat(zydTxtColumnNotFound, name.c_str()));
  auto rows = std::make_unique<TZyDatabaseRows>();
  // Records are tested where the batched read put them; only the last one is copied into the
  // row buffer, which is where a scan leaves the last record it read.
  const uint32_t size = RecordSizeGet();
  const uint32_t batch = size >= 65536 ? 1 : 65536 / size;
  uint64_t row = 1;
  for (;;) {
    const uint32_t got = ReadRecords(row, batch);
    for (uint32_t i = 0; i < got; ++i, ++row) {
      const uint8_t* record = scanBuffer_.data() + size_t(i) * size;
      uint32_t status;
      std::memcpy(&status, record, 4);
      if (!(status & zydRowDeleted) && CompareRecord(record, column, op, value))
        rows->Add(static_cast<uint32_t>(row));
    }
    if (got > 0)
      std::copy(scanBuffer_.data() + size_t(got - 1) * size, scanBuffer_.data() + size_t(got) * size,
                row_.begin());
    if (got < batch) break;
  }
  currentRow_ = 0;
  return rows;
}

// ---- the table list ---------------------------------------------------------------------------

TZyDatabaseTable* TZyDatabaseTableList::Add(const std::string& name, TZyVirtualFolder* folder,
                                            TZyDatabase* owner, uint64_t mode) {
  // A duplicate is refused before the table is made, so nothing is opened or written for it.
  if (FindIndex(name) >= 0)
    throw EZyException(zydErrDuplicateName, zydModuleText(zydModGenericList), zydMthGenericListAdd,
                       zydTxtDuplicateName);
  return TZyDatabaseGenericList::Add(std::make_unique<TZyDatabaseTable>(name, folder, owner, mode));
}
