// Shared pieces of the reliability tests: scratch paths, whole-file byte access, a sample
// database with a table of every column type, and where a stream's bytes lie in the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/table/ZyDatabaseMain.h"
#include "platform/compound/CompoundInspect.h"

namespace zyrel {

// A path in the test's scratch folder, unique to this process.
std::string TempPath(const std::string& name);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Rows of the sample table ITEMS and the values each holds.
constexpr int kSampleRows = 120;
std::string SampleName(int row);
std::string SampleText(int row);    // empty: NULL
std::string SampleBinary(int row);  // empty: NULL

// A database of the given compound-file version with ITEMS (every column type, kSampleRows
// rows, some Text and Binary values larger than a sector), EMPTY (no rows) and a deleted row.
void MakeSampleDatabase(const std::string& path, int fileVersion);

// Creates a table from (name, type, flags, size) descriptions through the reserved interface.
struct ColumnSpec {
  std::string name;
  TZyDatabaseColumnTypes type;
  uint64_t flags;
  uint64_t size;
};
TZyDatabaseTable* CreateTable(TZyDatabase& db, const std::string& name,
                              const std::vector<ColumnSpec>& columns);
TZyDatabaseTable* FindTable(TZyDatabase& db, const std::string& name);

// The directory entry of the element called name (the first one), or -1.
int EntryIndex(const zycfb::FileLayout& layout, const std::u16string& name);
// The file offset of byte pos of the stream in directory entry sid (mini stream or not).
uint64_t StreamByteOffset(const zycfb::FileLayout& layout, uint32_t sid, uint64_t pos);
// The file offset of directory entry sid.
uint64_t EntryOffset(const zycfb::FileLayout& layout, uint32_t sid);
// The file offset of FAT slot index.
uint64_t FatSlotOffset(const zycfb::FileLayout& layout, uint32_t index);

}  // namespace zyrel
