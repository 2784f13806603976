// The database object: one database file. Opening it creates or opens the compound file, finds
// or makes the folders "Tables" and "Data" inside "Root", and has the catalogue set up (the
// system tables, the version check and every user table). Queries work only through an open
// database; the file is held exclusively for as long as it is open.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/table/ZyDatabaseTable.h"

class TZyVirtualDisk;
class TZyVirtualFolder;

enum TZyDatabaseNotifyActions : uint8_t { zydNotifyCreate, zydNotifyLoad };
enum TZyDatabaseNotifyObjects : uint8_t { zydNotifyTable };

class TZyDatabase;
using TZyDatabaseNotify = std::function<void(TZyDatabase* oSender, TZyDatabaseNotifyActions eAction,
                                             TZyDatabaseNotifyObjects eObject,
                                             const std::string& strObjectName)>;

// Open-mode bit of Open: create the file (replacing any file of that name).
constexpr uint64_t zydDatabaseCreate = 0x8000000000000000ull;

class TZyDatabase {
 public:
  TZyDatabase();
  virtual ~TZyDatabase();
  TZyDatabase(const TZyDatabase&) = delete;
  TZyDatabase& operator=(const TZyDatabase&) = delete;

  void Open(uint64_t mode);
  void Close();
  bool Active() const { return active_; }
  void OpenSet(bool value);
  void CheckOpen(const std::string& method) const;

  std::string FileName;
  TZyDatabaseNotify Notify;
  // Format version of files this object creates (4: 4096-byte sectors; 3: 512-byte sectors).
  int FileVersion = 4;

  // Reserved for the engine: key must be the system key.
  TZyDatabaseTableList* SysTables(uint64_t key);
  TZyVirtualFolder* SysDataFolder(uint64_t key);
  TZyVirtualFolder* SysTablesFolder(uint64_t key);
  void SysAllowUpdatesSet(uint64_t key, bool value);
  TZyDatabaseTable* SysTableAdd(uint64_t key, const std::string& name);
  // Takes a table whose creation failed out of the table list; the object lives until Close.
  void SysTableDiscard(uint64_t key, TZyDatabaseTable* table);
  // Marks the database active while the catalogue's own statements run during Open.
  void SysActiveSet(uint64_t key, bool value);

  // Engine-internal (called by tables, no key needed: they only report).
  bool SysAllowUpdatesGet() const { return allowUpdates_; }
  void SysNotify(TZyDatabaseTable* table, TZyDatabaseNotifyActions action);

 private:
  std::unique_ptr<TZyVirtualDisk> disk_;
  TZyVirtualFolder* tablesFolder_ = nullptr;
  TZyVirtualFolder* dataFolder_ = nullptr;
  std::unique_ptr<TZyDatabaseTableList> tables_;
  std::vector<std::unique_ptr<TZyDatabaseGenericObject>> discarded_;
  bool allowUpdates_ = false;
  bool active_ = false;
};
