#include "engine/table/ZyDatabaseCatalog.h"

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyModuleText.h"

namespace {

// Constant-initialised, so installing works whichever static initialiser runs first.
TZyCatalogProcedures gProcedures;

[[noreturn]] void NoCatalogue(const char* method) {
  throw EZyException(zydErrNoCatalogue, zydModuleText(zydModTable), method, zydTxtNoCatalogue);
}

}  // namespace

void zydCatalogInstall(const TZyCatalogProcedures& procedures) { gProcedures = procedures; }

void zydCatalogSetUp(TZyDatabase* database, bool creating) {
  if (!gProcedures.SetUp) NoCatalogue(zydMthDatabaseOpen);
  gProcedures.SetUp(database, creating);
}

void zydCatalogRegister(TZyDatabaseTable* table) {
  if (!gProcedures.Register) NoCatalogue(zydMthTableCreateDone);
  gProcedures.Register(table);
}
