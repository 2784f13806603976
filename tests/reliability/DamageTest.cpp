// Damaged database files. Each case damages a real database in one deliberate way and checks
// the outcome: the open fails with the expected engine error, or the file opens and reading it
// fails with one, or it opens and reads back exactly as before. Never a crash, a hang or
// different data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "fuzz/FuzzBodies.h"
#include "platform/compound/Compound.h"
#include "tests/reliability/ReliabilityUtil.h"

namespace {

using namespace zyrel;

// What the sample database's layout looks like, gathered once from the intact file.
struct Facts {
  std::string path;
  std::vector<uint8_t> bytes;
  zycfb::FileLayout layout;
  std::string dump;
  uint32_t itemsRecord = 0;        // record size of ITEMS
  uint32_t settingsRecord = 0;     // record size of SYS_SETTINGS
  uint32_t settingsDataByte = 0;   // offset of DATA_BYTE in a SYS_SETTINGS record
  uint64_t versionRow = 0;         // the SYS_SETTINGS row whose KEY is Binary
  uint32_t propsRecord = 0;        // record size of SYS_PROPERTIES
  uint32_t propsValue = 0;         // offset of VALUE in a SYS_PROPERTIES record
  uint64_t nameSizeRow = 0;        // the property row holding the size of ITEMS.NAME
  uint64_t qtyTypeRow = 0;         // the property row holding the type of ITEMS.QTY
};

enum class Expect { Intact, OpenFails, ReadFails };

struct Case {
  const char* name;
  std::function<void(const Facts&, std::vector<uint8_t>&)> damage;  // on the bytes
  std::function<void(const std::string&)> damageFile;                // or through the service
  Expect expect;
  uint32_t code;           // the error's code (entry 0)
  const char* textPart;    // a part of its text, or ""
};

void Put32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) { std::memcpy(&b.at(at), &v, 4); }
void Put64(std::vector<uint8_t>& b, uint64_t at, uint64_t v) {
  ASSERT_LE(at + 8, b.size());
  std::memcpy(&b[at], &v, 8);
}

uint32_t Sid(const Facts& f, const char16_t* name) {
  const int sid = EntryIndex(f.layout, name);
  if (sid < 0) throw std::runtime_error("no entry");
  return uint32_t(sid);
}

std::vector<uint32_t> Chain(const Facts& f, const char16_t* name, bool mini) {
  std::vector<uint32_t> chain;
  zycfb::ChainOf(mini ? f.layout.miniFat : f.layout.fat, f.layout.entries[Sid(f, name)].start,
                 &chain);
  return chain;
}

// The file offset just past the last byte of the stream that owns the file's last sector.
uint64_t LastStreamEnd(const Facts& f) {
  const uint32_t last = uint32_t(f.bytes.size() / f.layout.sectorSize) - 2;
  for (const auto& e : f.layout.entries) {
    if (e.type != 2 || e.size < f.layout.header.miniStreamCutoff) continue;
    std::vector<uint32_t> chain;
    if (zycfb::ChainOf(f.layout.fat, e.start, &chain) == zycfb::S_OK && !chain.empty() &&
        chain.back() == last)
      return (uint64_t(last) + 1) * f.layout.sectorSize +
             (e.size - (chain.size() - 1) * f.layout.sectorSize);
  }
  throw std::runtime_error("no stream ends in the last sector");
}

// Renames an element inside "Root" (path: storage names, then the element) with the service.
void RenameInside(const std::string& path, std::vector<std::u16string> storages,
                  const std::u16string& from, const std::u16string& to) {
  std::shared_ptr<zycfb::Storage> at;
  ASSERT_EQ(zycfb::OpenDocfile(path, zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE, &at),
            zycfb::S_OK);
  for (const auto& name : storages) {
    std::shared_ptr<zycfb::Storage> next;
    ASSERT_EQ(at->OpenStorage(name, zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE, &next),
              zycfb::S_OK);
    at = next;
  }
  ASSERT_EQ(at->RenameElement(from, to), zycfb::S_OK);
}

class DamageTest : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    facts_ = new Facts;
    Facts& f = *facts_;
    f.path = TempPath("damage_base.zyd");
    MakeSampleDatabase(f.path, 4);
    f.bytes = ReadBytes(f.path);
    ASSERT_EQ(zycfb::InspectFile(f.path, &f.layout), zycfb::S_OK);
    TZyDatabase db;
    db.FileName = f.path;
    db.Open(0);
    f.dump = ZyDumpDatabase(db);
    f.itemsRecord = FindTable(db, "ITEMS")->RecordSizeGet();
    TZyDatabaseTable* settings = FindTable(db, "SYS_SETTINGS");
    f.settingsRecord = settings->RecordSizeGet();
    f.settingsDataByte = settings->ColumnsGet()->Find("DATA_BYTE")->OffsetGet();
    char key[64];
    bool isNull;
    TZyDatabaseColumnTypes type;
    for (uint64_t row = 1; row <= settings->RowCountGet(); ++row) {
      settings->FieldGetData(row, "KEY", key, &isNull, &type);
      if (std::string(key) == "Binary") f.versionRow = row;
    }
    TZyDatabaseTable* props = FindTable(db, "SYS_PROPERTIES");
    f.propsRecord = props->RecordSizeGet();
    f.propsValue = props->ColumnsGet()->Find("VALUE")->OffsetGet();
    char value[64];
    int types = 0;
    for (uint64_t row = 1; row <= props->RowCountGet(); ++row) {
      props->FieldGetData(row, "TYPE", key, &isNull, &type);
      props->FieldGetData(row, "VALUE", value, &isNull, &type);
      if (std::string(key) == "TableColumnSize" && f.nameSizeRow == 0) f.nameSizeRow = row;
      if (std::string(key) == "TableColumnType" && ++types == 3) f.qtyTypeRow = row;
    }
    ASSERT_NE(f.versionRow, 0u);
    ASSERT_NE(f.nameSizeRow, 0u);
    ASSERT_NE(f.qtyTypeRow, 0u);
  }
  static void TearDownTestSuite() {
    std::remove(facts_->path.c_str());
    delete facts_;
  }
  static Facts* facts_;
};
Facts* DamageTest::facts_ = nullptr;

const Case kCases[] = {
    // Truncations: at nothing, inside the header, after the header, half way, a sector short.
    {"truncated to nothing", [](const Facts&, std::vector<uint8_t>& b) { b.clear(); }, nullptr,
     Expect::OpenFails, zycfb::STG_E_FILEALREADYEXISTS, "StgOpenStorage"},
    {"truncated inside the header", [](const Facts&, std::vector<uint8_t>& b) { b.resize(300); },
     nullptr, Expect::OpenFails, zycfb::STG_E_FILEALREADYEXISTS,
     "StgOpenStorage"},
    {"truncated after the header",
     [](const Facts& f, std::vector<uint8_t>& b) { b.resize(f.layout.sectorSize); }, nullptr,
     Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, "StgOpenStorage"},
    {"truncated half way",
     [](const Facts& f, std::vector<uint8_t>& b) {
       b.resize(b.size() / 2 / f.layout.sectorSize * f.layout.sectorSize);
     },
     nullptr, Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, "StgOpenStorage"},
    {"truncated by a sector",
     [](const Facts& f, std::vector<uint8_t>& b) { b.resize(b.size() - f.layout.sectorSize); },
     nullptr, Expect::ReadFails, zycfb::STG_E_DOCFILECORRUPT, "IStorage.OpenStream"},
    // Some writers end the last sector where its stream ends: nothing is lost.
    {"ending where the last stream ends",
     [](const Facts& f, std::vector<uint8_t>& b) { b.resize(LastStreamEnd(f)); }, nullptr,
     Expect::Intact, 0, ""},
    // Chains that loop.
    {"FAT cycle in a table stream",
     [](const Facts& f, std::vector<uint8_t>& b) {
       // The second sector leads back to the first, inside the stream's length.
       const auto chain = Chain(f, u"ITEMS.tbl", false);
       ASSERT_GE(chain.size(), 3u);
       Put32(b, FatSlotOffset(f.layout, chain[1]), chain[0]);
     },
     nullptr, Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, ""},
    {"FAT sector pointing at itself",
     [](const Facts& f, std::vector<uint8_t>& b) {
       const auto chain = Chain(f, u"ITEMS.tbl", false);
       Put32(b, FatSlotOffset(f.layout, chain[0]), chain[0]);
     },
     nullptr, Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, ""},
    {"mini FAT cycle in a system table",
     [](const Facts& f, std::vector<uint8_t>& b) {
       const auto chain = Chain(f, u"SYS_SETTINGS.tbl", true);
       ASSERT_GE(chain.size(), 3u);
       // The mini FAT is a chain of its own: find the slot of the chain's second unit.
       const uint32_t perSector = f.layout.sectorSize / 4;
       const uint64_t at = (uint64_t(f.layout.miniFatSectors.at(chain[1] / perSector)) + 1) *
                               f.layout.sectorSize + (chain[1] % perSector) * 4;
       Put32(b, at, chain.front());
     },
     nullptr, Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, ""},
    // Directory trees that loop.
    {"storage whose child is its own parent",
     [](const Facts& f, std::vector<uint8_t>& b) {
       Put32(b, EntryOffset(f.layout, Sid(f, u"Tables")) + 0x4C, Sid(f, u"Root"));
     },
     nullptr, Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, ""},
    {"sibling pointing at itself",
     [](const Facts& f, std::vector<uint8_t>& b) {
       const uint32_t sid = Sid(f, u"ITEMS.tbl");
       Put32(b, EntryOffset(f.layout, sid) + 0x44, sid);
     },
     nullptr, Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, ""},
    // Sizes that do not fit.
    {"table stream longer than the file",
     [](const Facts& f, std::vector<uint8_t>& b) {
       Put64(b, EntryOffset(f.layout, Sid(f, u"ITEMS.tbl")) + 0x78, 1ull << 30);
     },
     nullptr, Expect::OpenFails, zycfb::STG_E_DOCFILECORRUPT, ""},
    {"value stream longer than the file",
     [](const Facts& f, std::vector<uint8_t>& b) {
       // The first value stream listed in Data with a regular chain.
       for (size_t i = 0; i < f.layout.entries.size(); ++i) {
         const auto& e = f.layout.entries[i];
         if (e.type == 2 && e.size >= 4096 && e.name.size() == 20) {
           Put64(b, EntryOffset(f.layout, uint32_t(i)) + 0x78, 1ull << 31);
           return;
         }
       }
       FAIL() << "no large value stream";
     },
     nullptr, Expect::ReadFails, zycfb::STG_E_DOCFILECORRUPT, ""},
    {"table stream with a partial record",
     [](const Facts& f, std::vector<uint8_t>& b) {
       const uint32_t sid = Sid(f, u"ITEMS.tbl");
       Put64(b, EntryOffset(f.layout, sid) + 0x78, f.layout.entries[sid].size + 5);
     },
     nullptr, Expect::OpenFails, zydErrNotDatabase, "ITEMS"},
    {"catalogue size that does not divide the stream",
     [](const Facts& f, std::vector<uint8_t>& b) {
       const uint64_t at = StreamByteOffset(f.layout, Sid(f, u"SYS_PROPERTIES.tbl"),
                                            88 + uint64_t(f.propsRecord) * f.nameSizeRow +
                                                f.propsValue + 1);
       Put32(b, at, 21);  // NAME was String(20)
     },
     nullptr, Expect::OpenFails, zydErrNotDatabase, "ITEMS"},
    {"catalogue naming an unknown column type",
     [](const Facts& f, std::vector<uint8_t>& b) {
       const uint64_t at = StreamByteOffset(f.layout, Sid(f, u"SYS_PROPERTIES.tbl"),
                                            88 + uint64_t(f.propsRecord) * f.qtyTypeRow +
                                                f.propsValue + 1);
       b.at(at + 10) = 'X';  // SignedInt32 -> SignedInt3X
     },
     nullptr, Expect::OpenFails, 0x80000302, "'SignedInt3X' was not found"},
    // Elements that are gone.
    {"catalogue naming a missing table stream", nullptr,
     [](const std::string& path) {
       RenameInside(path, {u"Root", u"Tables"}, u"ITEMS.tbl", u"ITEMX.tbl");
     },
     Expect::OpenFails, zydErrNotDatabase, "ITEMS"},
    {"missing system table stream", nullptr,
     [](const std::string& path) {
       RenameInside(path, {u"Root", u"Tables"}, u"SYS_SETTINGS.tbl", u"SETTINGS.tbl");
     },
     Expect::OpenFails, zydErrNotDatabase, "SYS_SETTINGS"},
    {"missing folder Data", nullptr,
     [](const std::string& path) { RenameInside(path, {u"Root"}, u"Data", u"Dat"); },
     Expect::OpenFails, zydErrNotDatabase, "Data"},
    {"missing value stream", nullptr,
     [](const std::string& path) {
       std::shared_ptr<zycfb::Storage> root, inner, data;
       ASSERT_EQ(zycfb::OpenDocfile(path, zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE,
                                    &root), zycfb::S_OK);
       ASSERT_EQ(root->OpenStorage(u"Root", zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE,
                                   &inner), zycfb::S_OK);
       ASSERT_EQ(inner->OpenStorage(u"Data", zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE,
                                    &data), zycfb::S_OK);
       std::vector<zycfb::ElementStat> all;
       ASSERT_EQ(data->EnumElements(&all), zycfb::S_OK);
       ASSERT_FALSE(all.empty());
       ASSERT_EQ(data->RenameElement(all[0].name, u"gone.dat"), zycfb::S_OK);
     },
     Expect::ReadFails, zycfb::STG_E_FILENOTFOUND, ""},
    // Versions.
    {"database written by a newer engine",
     [](const Facts& f, std::vector<uint8_t>& b) {
       const uint64_t at = StreamByteOffset(f.layout, Sid(f, u"SYS_SETTINGS.tbl"),
                                            88 + uint64_t(f.settingsRecord) * f.versionRow +
                                                f.settingsDataByte + 1);
       Put32(b, at, 0x04001058);
     },
     nullptr, Expect::OpenFails, zydErrDatabaseNewer, "version 1.00.1.88 which is newer"},
    {"compound file of an unknown major version",
     [](const Facts&, std::vector<uint8_t>& b) { b[0x1A] = 5; }, nullptr, Expect::OpenFails,
     zycfb::STG_E_INVALIDHEADER, "StgOpenStorage"},
    // A table header's version is informative only: the rows are laid out the same way.
    {"table stream header from a newer engine",
     [](const Facts& f, std::vector<uint8_t>& b) {
       Put32(b, StreamByteOffset(f.layout, Sid(f, u"ITEMS.tbl"), 20), 0x04001058);
     },
     nullptr, Expect::Intact, 0, ""},
};

TEST_P(DamageTest, EndsInAClearErrorOrTheSameData) {
  const Case& c = kCases[GetParam()];
  SCOPED_TRACE(c.name);
  const Facts& f = *facts_;
  const std::string path = TempPath("damaged.zyd");
  std::vector<uint8_t> bytes = f.bytes;
  if (c.damage) c.damage(f, bytes);
  WriteBytes(path, bytes);
  if (c.damageFile) c.damageFile(path);
  if (HasFatalFailure()) return;
  const std::vector<uint8_t> damaged = ReadBytes(path);
  ASSERT_NE(damaged, f.bytes) << "the damage changed nothing";

  bool opened = false;
  std::string dump;
  try {
    TZyDatabase db;
    db.FileName = path;
    db.Open(0);
    opened = true;
    dump = ZyDumpDatabase(db);
    EXPECT_EQ(c.expect, Expect::Intact) << "read without an error";
    EXPECT_EQ(dump, f.dump) << "read different data without an error";
  } catch (const EZyException& e) {
    EXPECT_EQ(c.expect, opened ? Expect::ReadFails : Expect::OpenFails) << e.what();
    if (c.code) {
      EXPECT_EQ(e.CodeGet(0), c.code) << e.what();
    }
    EXPECT_NE(e.TextGet(0), "") << e.what();
    EXPECT_NE(std::string(e.what()).find(c.textPart), std::string::npos) << e.what();
  }
  // Neither the open nor the reads wrote anything.
  EXPECT_EQ(ReadBytes(path), damaged);
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Cases, DamageTest,
                         ::testing::Range(0, int(sizeof kCases / sizeof kCases[0])),
                         [](const ::testing::TestParamInfo<int>& info) {
                           std::string name = kCases[info.param].name;
                           for (char& ch : name)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
