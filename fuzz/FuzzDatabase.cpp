#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/storage/ZyVirtualFile.h"
#include "engine/table/ZyDatabaseMain.h"
#include "fuzz/FuzzBodies.h"
#include "platform/framework/Exception.h"

namespace {

void Hex(std::string& out, const uint8_t* bytes, size_t count) {
  static const char digits[] = "0123456789abcdef";
  for (size_t i = 0; i < count; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
}

}  // namespace

std::string ZyDumpDatabase(TZyDatabase& db) {
  std::string out;
  std::vector<uint8_t> value;
  std::vector<uint8_t> chunk(65536);
  TZyDatabaseTableList* tables = db.SysTables(zydSysKey);
  for (int32_t t = 0; t < tables->CountGet(); ++t) {
    TZyDatabaseTable* table = tables->Get(t);
    TZyDatabaseColumnList* columns = table->ColumnsGet();
    out += "table " + table->NameGet() + "\n";
    for (int32_t c = 0; c < columns->CountGet(); ++c) {
      TZyDatabaseColumn* column = columns->Get(c);
      out += " column " + column->NameGet() + " " + zydColumnTypeGetName(column->TypeGet()) + " " +
             std::to_string(column->SizeGet()) + " " + std::to_string(column->FlagsGet() & 3) + "\n";
    }
    const uint64_t rows = table->RowCountGet();
    for (uint64_t row = 1; row <= rows; ++row) {
      const bool live = table->RowGet(row);
      out += " row " + std::to_string(row) + (live ? "\n" : " deleted\n");
      if (!live) continue;
      for (int32_t c = 0; c < columns->CountGet(); ++c) {
        TZyDatabaseColumn* column = columns->Get(c);
        value.assign(column->SizeGet() + 1, 0);
        bool isNull = false;
        TZyDatabaseColumnTypes type = column->TypeGet();
        table->FieldGetData(row, column->NameGet(), value.data(), &isNull, &type);
        out += "  ";
        if (isNull) {
          out += "null\n";
          continue;
        }
        out += std::to_string(int(type)) + ":";
        if (column->TypeGet() == zydText || column->TypeGet() == zydBinary) {
          // The key is drawn at random; the value is what counts.
          uint64_t key;
          std::memcpy(&key, value.data(), 8);
          if (column->TypeGet() == zydText) {
            const std::string text = table->FieldGetString(column, key);
            Hex(out, reinterpret_cast<const uint8_t*>(text.data()), text.size());
          } else {
            std::unique_ptr<TZyVirtualFile> file = table->FieldGetFile(key);
            for (;;) {
              const int32_t n = file->Read(chunk.data(), int32_t(chunk.size()));
              if (n <= 0) break;
              Hex(out, chunk.data(), size_t(n));
            }
          }
        } else {
          Hex(out, value.data(), column->SizeGet());
        }
        out += "\n";
      }
    }
  }
  return out;
}

int ZyFuzzDatabase(const uint8_t* data, size_t size) {
  const std::string path = ZyFuzzScratchPath("database");
  ZyFuzzWriteFile(path, data, size);
  {
    TZyDatabase db;
    db.FileName = path;
    try {
      db.Open(0);
      ZyDumpDatabase(db);
    } catch (const zyfw::Exception&) {
      // An engine or framework error with its message is the expected way to refuse bad bytes.
    }
  }
  std::remove(path.c_str());
  return 0;
}
