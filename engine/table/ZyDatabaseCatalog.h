// The catalogue: the three system tables that describe every user table (SYS_OBJECTS,
// SYS_PROPERTIES) and record the engine version that created the file (SYS_SETTINGS). Set-up runs
// when a database opens; registration runs when a user table is created.
#pragma once

class TZyDatabase;
class TZyDatabaseTable;

// Adds the system tables to the database's table list (creating or loading their streams),
// writes or checks the version record and loads every user table in catalogue order.
void zydCatalogSetUp(TZyDatabase* database, bool creating);

// Writes the catalogue rows of a table that was just created.
void zydCatalogRegister(TZyDatabaseTable* table);
