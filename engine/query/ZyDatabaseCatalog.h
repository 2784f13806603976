// The catalogue kept with the engine's own SQL: setting up the three system tables when a
// database opens (the version record written or checked, every user table loaded from its
// SYS_OBJECTS and SYS_PROPERTIES rows) and writing the catalogue rows of a newly created table.
// The table store reaches these procedures through the hook in engine/table/ZyDatabaseCatalog.h,
// which this module fills as the program starts.
#pragma once

#include <cstdint>
#include <string>

class TZyDatabase;
class TZyDatabaseTable;

// The longest table or column name the catalogue keeps (its NAME column is a String(50)).
constexpr uint32_t zydCatalogMaxName = 50;

// Adds SYS_OBJECTS, SYS_PROPERTIES and SYS_SETTINGS to the table list (creating or loading their
// streams). Creating, it writes the seven version rows. Opening, it refuses a file without the
// version row with 0x80000708, a file written by a newer engine with 0x80000707 (after closing
// the database), and then loads every user table in catalogue order. The database is marked
// active only while the catalogue's statements run.
void zydCatalogQuerySetUp(TZyDatabase* database, bool creating);

// Writes the SYS_OBJECTS and SYS_PROPERTIES rows of table, which was just created: the table row,
// then per column its row and its properties. Names are checked first (zydCatalogCheckName).
void zydCatalogQueryRegister(TZyDatabaseTable* table);

// Refuses a table or column name longer than zydCatalogMaxName characters with 0x80000101 "The
// name is invalid" (method "TZyDatabaseTable.CreateDone"), the details naming the name: the
// catalogue would keep it cut short, and after a reopen the table or column would not be found
// under the name it was created with. CREATE TABLE checks its names before the table is made.
void zydCatalogCheckName(const std::string& name);
