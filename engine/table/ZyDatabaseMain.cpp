#include "engine/table/ZyDatabaseMain.h"

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/storage/ZyVirtualDisk.h"
#include "engine/table/ZyDatabaseCatalog.h"

namespace {

std::string Upper(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += (c >= u'a' && c <= u'z') ? char(c - 32) : (c < 0x80 ? char(c) : '?');
  return out;
}

}  // namespace

TZyDatabase::TZyDatabase() : tables_(std::make_unique<TZyDatabaseTableList>()) {}

TZyDatabase::~TZyDatabase() {
  try {
    Close();
  } catch (...) {
  }
}

void TZyDatabase::Open(uint64_t mode) {
  if (active_)
    throw EZyException(zydErrDatabaseAlreadyOpen, zydModuleText(zydModTable), zydMthDatabaseOpen,
                       zydFormat(zydTxtDatabaseAlreadyOpen, FileName.c_str()));
  const bool creating = (mode & zydDatabaseCreate) != 0;
  // A failed open leaves what it made held until Close, as the object's life cycle has it; but
  // an object left from an earlier failed open is released first, so that retrying works.
  if (disk_) Close();
  disk_ = std::make_unique<TZyVirtualDisk>();
  disk_->Open(FileName, zydVirtualDiskReadWrite | (creating ? zydVirtualCreate | zydVirtualFolderUnlisted : 0),
              FileVersion);
  if (creating) {
    tablesFolder_ = disk_->FolderCreate(u"Tables").get();
    tablesFolder_->Open(0);
    dataFolder_ = disk_->FolderCreate(u"Data").get();
    dataFolder_->Open(zydVirtualFolderUnlisted);
  } else {
    for (int32_t i = 0; i < disk_->FolderCountGet(); ++i) {
      TZyVirtualFolder* folder = disk_->FolderGet(i);
      const std::string name = Upper(folder->NameGet());
      if (name == "TABLES") {
        tablesFolder_ = folder;
        folder->Open(0);
      } else if (name == "DATA") {
        dataFolder_ = folder;
        folder->Open(zydVirtualFolderUnlisted);
      }
    }
    if (!tablesFolder_ || !dataFolder_)
      throw EZyException(zydErrNotDatabase, zydModuleText(zydModTable), zydMthDatabaseOpen,
                         zydFormat(zydTxtNotDatabase,
                                   !tablesFolder_ ? "the folder \"Tables\" is missing"
                                                  : "the folder \"Data\" is missing"));
  }
  zydCatalogSetUp(this, creating);
  active_ = true;
}

void TZyDatabase::Close() {
  tables_->Clear();
  discarded_.clear();
  tablesFolder_ = nullptr;
  dataFolder_ = nullptr;
  disk_.reset();
  allowUpdates_ = false;
  active_ = false;
}

void TZyDatabase::OpenSet(bool value) {
  if (active_ && !value)
    Close();
  else if (!active_ && value)
    Open(0);
}

void TZyDatabase::CheckOpen(const std::string& method) const {
  if (!active_)
    throw EZyException(zydErrDatabaseNotOpen, zydModuleText(zydModTable), method,
                       zydFormat(zydTxtDatabaseNotOpen, method.c_str()));
}

TZyDatabaseTableList* TZyDatabase::SysTables(uint64_t key) {
  zydCheckSysKey(key, "TZyDatabase.SysTables");
  return tables_.get();
}

TZyVirtualFolder* TZyDatabase::SysDataFolder(uint64_t key) {
  zydCheckSysKey(key, "TZyDatabase.SysDataFolder");
  return dataFolder_;
}

TZyVirtualFolder* TZyDatabase::SysTablesFolder(uint64_t key) {
  zydCheckSysKey(key, "TZyDatabase.SysTablesFolder");
  return tablesFolder_;
}

void TZyDatabase::SysAllowUpdatesSet(uint64_t key, bool value) {
  zydCheckSysKey(key, "TZyDatabase.SysAllowUpdatesSet");
  allowUpdates_ = value;
}

void TZyDatabase::SysActiveSet(uint64_t key, bool value) {
  zydCheckSysKey(key, "TZyDatabase.SysActiveSet");
  active_ = value;
}

TZyDatabaseTable* TZyDatabase::SysTableAdd(uint64_t key, const std::string& name) {
  zydCheckSysKey(key, "TZyDatabase.TableAdd");
  CheckOpen("TZyDatabase.TableAdd");
  return tables_->Add(name, tablesFolder_, this, zydTableModeCreate);
}

void TZyDatabase::SysNotify(TZyDatabaseTable* table, TZyDatabaseNotifyActions action) {
  if (Notify) Notify(this, action, zydNotifyTable, table->NameGet());
}

void TZyDatabase::SysTableDiscard(uint64_t key, TZyDatabaseTable* table) {
  zydCheckSysKey(key, "TZyDatabase.SysTableDiscard");
  for (int32_t i = 0; i < tables_->CountGet(); ++i)
    if (tables_->Get(i) == table) {
      discarded_.push_back(tables_->Delete(table->NameGet()));
      return;
    }
}
