// The catalogue: the three system tables that describe every user table (SYS_OBJECTS,
// SYS_PROPERTIES) and record the engine version that created the file (SYS_SETTINGS). Set-up runs
// when a database opens; registration runs when a user table is created.
//
// The catalogue reads and writes its rows with the engine's own SQL statements, so its procedures
// live in the query layer above this one (engine/query/ZyDatabaseCatalog.cpp). That layer installs
// them here when it is linked into a program; the database object and its tables call them
// through the two routines below, without depending on the layer above.
#pragma once

#include <cstdint>

class TZyDatabase;
class TZyDatabaseTable;

struct TZyCatalogProcedures {
  void (*SetUp)(TZyDatabase* database, bool creating) = nullptr;
  void (*Register)(TZyDatabaseTable* table) = nullptr;
};

// Installs the catalogue's procedures (the query layer does this once, as the program starts).
void zydCatalogInstall(const TZyCatalogProcedures& procedures);

// Adds the system tables to the database's table list (creating or loading their streams),
// writes or checks the version record and loads every user table in catalogue order.
void zydCatalogSetUp(TZyDatabase* database, bool creating);

// Writes the catalogue rows of a table that was just created.
void zydCatalogRegister(TZyDatabaseTable* table);

// Raised by the two routines above in a program built without the query layer, which cannot
// read or write a catalogue.
constexpr uint32_t zydErrNoCatalogue = 0x80000709;
constexpr const char* zydTxtNoCatalogue =
    "The catalogue is not available: this program was built without the query layer";
