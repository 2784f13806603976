#include "tests/reliability/ReliabilityUtil.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "platform/framework/Stream.h"

namespace zyrel {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/zyrel_" + std::to_string(getpid()) + "_" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string SampleName(int row) { return "item-" + std::to_string(row * 37 % 1000); }

std::string SampleText(int row) {
  if (row % 3 != 0) return "";
  // Every ninth text is larger than a 4096-byte sector, so it has a regular chain.
  const size_t length = row % 9 == 0 ? 5000 + row : 10 + row;
  std::string text(length, 'a');
  for (size_t i = 0; i < length; ++i) text[i] = char('a' + (i * 7 + row) % 26);
  return text;
}

std::string SampleBinary(int row) {
  if (row % 4 != 1) return "";
  std::string bytes(row % 8 == 1 ? 4500 : 33 + row, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 13 + row) & 0xFF);
  return bytes;
}

TZyDatabaseTable* CreateTable(TZyDatabase& db, const std::string& name,
                              const std::vector<ColumnSpec>& columns) {
  TZyDatabaseTable* table = db.SysTableAdd(zydSysKey, name);
  for (const ColumnSpec& c : columns) table->ColumnAdd(c.name, c.type, c.flags, c.size);
  table->CreateDone();
  return table;
}

TZyDatabaseTable* FindTable(TZyDatabase& db, const std::string& name) {
  TZyDatabaseTableList* list = db.SysTables(zydSysKey);
  const int32_t index = list->FindIndex(name);
  return index < 0 ? nullptr : list->Get(index);
}

void MakeSampleDatabase(const std::string& path, int fileVersion) {
  TZyDatabase db;
  db.FileName = path;
  db.FileVersion = fileVersion;
  db.Open(zydDatabaseCreate);
  TZyDatabaseTable* items = CreateTable(
      db, "ITEMS",
      {{"ID", zydSignedInt64, zydColumnAutoNumber, 0},
       {"NAME", zydString, 0, 20},
       {"QTY", zydSignedInt32, zydColumnNullable, 0},
       {"SMALL", zydUnsignedInt8, zydColumnNullable, 0},
       {"RATIO", zydFloat8, zydColumnNullable, 0},
       {"WIDE", zydFloat10, zydColumnNullable, 0},
       {"OK", zydBoolean, zydColumnNullable, 0},
       {"PRICE", zydCurrency, zydColumnNullable, 0},
       {"WHEN", zydDateTime, zydColumnNullable, 0},
       {"TAG", zydByte, zydColumnNullable, 6},
       {"NOTE", zydText, zydColumnNullable, 0},
       {"BLOB", zydBinary, zydColumnNullable, 0}});
  CreateTable(db, "EMPTY", {{"X", zydSignedInt16, zydColumnNullable, 0}});
  for (int row = 1; row <= kSampleRows; ++row) {
    items->RowAddBegin();
    const std::string name = SampleName(row);
    items->RowAddField("NAME", name.c_str(), zydString, int32_t(name.size()));
    const int32_t qty = row * 3 - 100;
    if (row % 5) items->RowAddField("QTY", &qty, zydSignedInt32, 4);
    const uint8_t small = uint8_t(row);
    items->RowAddField("SMALL", &small, zydUnsignedInt8, 1);
    const double ratio = row / 8.0;
    items->RowAddField("RATIO", &ratio, zydFloat8, 8);
    const long double wide = row / 3.0L;
    items->RowAddField("WIDE", &wide, zydFloat10, 10);
    const uint8_t ok = row & 1;
    items->RowAddField("OK", &ok, zydBoolean, 1);
    const int64_t price = int64_t(row) * 12345;
    items->RowAddField("PRICE", &price, zydCurrency, 8);
    const double when = 45000.25 + row;
    items->RowAddField("WHEN", &when, zydDateTime, 8);
    const uint32_t tag = 4000 + row;
    items->RowAddField("TAG", &tag, zydUnsignedInt32, 4);
    const std::string text = SampleText(row);
    if (!text.empty()) items->RowAddField("NOTE", text.c_str(), zydText, -1);
    const std::string binary = SampleBinary(row);
    if (!binary.empty()) {
      zyfw::TMemoryStream stream;
      stream.WriteBuffer(binary.data(), int32_t(binary.size()));
      items->RowAddField("BLOB", &stream, zydBinary, -1);
    }
    items->RowAddEnd();
  }
  items->RowDelete(7);
  db.Close();
}

int EntryIndex(const zycfb::FileLayout& layout, const std::u16string& name) {
  for (size_t i = 0; i < layout.entries.size(); ++i)
    if (layout.entries[i].type != 0 && layout.entries[i].name == name) return int(i);
  return -1;
}

uint64_t StreamByteOffset(const zycfb::FileLayout& layout, uint32_t sid, uint64_t pos) {
  const zycfb::RawDirEntry& e = layout.entries[sid];
  const uint32_t sectorSize = layout.sectorSize;
  std::vector<uint32_t> chain;
  if (e.size < layout.header.miniStreamCutoff) {
    if (zycfb::ChainOf(layout.miniFat, e.start, &chain) != zycfb::S_OK)
      throw std::runtime_error("bad mini chain");
    const uint64_t mini = uint64_t(chain.at(pos / 64)) * 64 + pos % 64;
    std::vector<uint32_t> root;
    if (zycfb::ChainOf(layout.fat, layout.entries[0].start, &root) != zycfb::S_OK)
      throw std::runtime_error("bad mini stream chain");
    return (uint64_t(root.at(mini / sectorSize)) + 1) * sectorSize + mini % sectorSize;
  }
  if (zycfb::ChainOf(layout.fat, e.start, &chain) != zycfb::S_OK)
    throw std::runtime_error("bad chain");
  return (uint64_t(chain.at(pos / sectorSize)) + 1) * sectorSize + pos % sectorSize;
}

uint64_t EntryOffset(const zycfb::FileLayout& layout, uint32_t sid) {
  const uint32_t perSector = layout.sectorSize / 128;
  return (uint64_t(layout.dirSectors.at(sid / perSector)) + 1) * layout.sectorSize +
         uint64_t(sid % perSector) * 128;
}

uint64_t FatSlotOffset(const zycfb::FileLayout& layout, uint32_t index) {
  const uint32_t perSector = layout.sectorSize / 4;
  return (uint64_t(layout.fatSectors.at(index / perSector)) + 1) * layout.sectorSize +
         uint64_t(index % perSector) * 4;
}

}  // namespace zyrel
