// Every error the engine raises, in one place: its code, its text and the method texts of the
// raising operations. Codes are 0x80000000 + group * 0x100 + number; texts with %s / %d are
// printf formats that the raising code fills (zydFormat in ZyMisc.h).
//
// Naming: zydErr<Name> is the code, zydTxt<Name> the text, zydMth<Operation> a method text and
// zydMod<Module> the source-module name handed to zydModuleText (ZyModuleText.h). Several errors
// share one code (the identifier rule's three texts); each still gets its own text constant.
#pragma once

#include <cstdint>

// ---- Source modules (what the explorer's build reports instead of "ZyDatabase") ---------------
constexpr const char* zydModGenericList = "ZyDatabaseGenericList";
constexpr const char* zydModCommon = "ZyDatabaseCommon";
constexpr const char* zydModColumn = "ZyDatabaseColumn";
constexpr const char* zydModConvert = "ZyDatabaseConvert";
constexpr const char* zydModField = "ZyDatabaseField";
constexpr const char* zydModParserObjects = "ZyDatabaseParserObjects";
constexpr const char* zydModParser = "ZyDatabaseParser";
constexpr const char* zydModValidate = "ZyDatabaseValidate";
constexpr const char* zydModQuery = "ZyDatabaseQuery";
constexpr const char* zydModTable = "ZyDatabaseTable";
// Failed calls into the storage service, in both builds.
constexpr const char* zydModSystem = "System";

// ---- Group 0x01: names and identifiers --------------------------------------------------------
constexpr uint32_t zydErrIdentifier = 0x80000100;
constexpr const char* zydTxtIdentifierChar = "The character '%s' is invalid";
constexpr const char* zydTxtIdentifierSys = "Only the system may use 'SYS_' for identifiers";
constexpr const char* zydTxtIdentifierSp = "Only the system may use 'SP_' for identifiers";
constexpr const char* zydMthIsNameValid = "ZyDatabaseIsNameValid";

constexpr uint32_t zydErrNameInvalid = 0x80000101;
constexpr const char* zydTxtNameInvalid = "The name is invalid";
constexpr const char* zydMthTableCreate = "TZyDatabaseTable.Create";

constexpr uint32_t zydErrDuplicateName = 0x80000102;
constexpr const char* zydTxtDuplicateName = "That name has already been used";
constexpr const char* zydMthGenericListAdd = "TZyDatabaseGenericList.Add";

// ---- Group 0x02: table rows and definition ----------------------------------------------------
constexpr uint32_t zydErrTableNotNew = 0x80000200;
constexpr const char* zydTxtTableNotNew =
    "The table may not be modified unless it has just been created";
constexpr const char* zydMthTableCreateDone = "TZyDatabaseTable.CreateDone";

constexpr uint32_t zydErrNotNullable = 0x80000201;
constexpr const char* zydTxtNotNullable = "'%s' is not nullable";  // column name
constexpr const char* zydMthTableRowAddField = "TZyDatabaseTable.RowAddField";

constexpr uint32_t zydErrMustBeSpecified = 0x80000202;
constexpr const char* zydTxtMustBeSpecified = "'%s' must be specified";  // column name
constexpr const char* zydMthTableRowAddEnd = "TZyDatabaseTable.RowAddEnd";

constexpr uint32_t zydErrSystemTableReadOnly = 0x80000203;
constexpr const char* zydTxtSystemTableReadOnly = "System tables are read-only";
constexpr const char* zydMthTableRowDelete = "TZyDatabaseTable.RowDelete";
// (also raised by zydMthTableRowAddField)

constexpr uint32_t zydErrNoMoreRows = 0x80000204;
constexpr const char* zydTxtNoMoreRows = "There are no more rows to fetch";
constexpr const char* zydMthTableRowGet = "TZyDatabaseTable.RowGet";

// ---- Group 0x03: columns and types ------------------------------------------------------------
constexpr uint32_t zydErrColumnNotFound = 0x80000300;
constexpr const char* zydTxtColumnNotFound = "The column '%s' was not found";  // column name
constexpr const char* zydMthTableRowsGet = "TZyDatabaseTable.RowsGet";

constexpr uint32_t zydErrTypesIncompatible = 0x80000301;
constexpr const char* zydTxtTypesIncompatible = "The types are not compatible";
constexpr const char* zydMthConvertData = "zydConvertData";

constexpr uint32_t zydErrColumnTypeName = 0x80000302;
constexpr const char* zydTxtColumnTypeName = "The column type name '%s' was not found";
constexpr const char* zydMthColumnNameGetByType = "zydColumnNameGetByType";

// ---- Group 0x04: query object -----------------------------------------------------------------
constexpr uint32_t zydErrNoDatabase = 0x80000400;
constexpr const char* zydTxtNoDatabase = "A database must be assigned to this query";
constexpr const char* zydMthQueryPrepare = "TZyDatabaseQuery.Prepare";
// (or the calling operation's name)

constexpr uint32_t zydErrParamNotFound = 0x80000401;
constexpr const char* zydTxtParamNotFound = "The '%s' parameter was not found";
constexpr const char* zydMthQueryParamByName = "TZyDatabaseQuery.ParamByName";

constexpr uint32_t zydErrFieldNotFound = 0x80000402;
constexpr const char* zydTxtFieldNotFound = "The '%s' field was not found";
// (method zydMthQueryParamByName)

constexpr uint32_t zydErrQueryNotActive = 0x80000403;
constexpr const char* zydTxtQueryNotActive = "The query must be active before calling %s";

// ---- Group 0x05: SQL statements ---------------------------------------------------------------
constexpr uint32_t zydErrSQLEmpty = 0x80000500;
constexpr const char* zydTxtSQLEmpty = "The SQL statement is empty";
constexpr const char* zydMthParser = "zydParser";

constexpr uint32_t zydErrSQLSyntax = 0x80000502;
// message, token, line, column; details: the SQL text. Method zydMthQueryPrepare.
constexpr const char* zydTxtSQLSyntax = "%s at or about '%s' on line %d, column %d.";

constexpr uint32_t zydErrWhereInvalid = 0x80000504;
constexpr const char* zydTxtWhereInvalid = "The WHERE clause is invalid";
constexpr const char* zydMthParseWhere = "ParseWhere";

constexpr uint32_t zydErrTableOrAliasNotFound = 0x80000505;
constexpr const char* zydTxtTableOrAliasNotFound = "The table or alias '%s' does not exist";
constexpr const char* zydMthFieldFind = "FieldFind";
constexpr const char* zydMthValidate = "zydValidate";

constexpr uint32_t zydErrFieldNotExist = 0x80000506;
constexpr const char* zydTxtFieldNotExist = "The field '%s' does not exist";

constexpr uint32_t zydErrJoinsNotSupported = 0x80000507;
constexpr const char* zydTxtJoinsNotSupported =
    "Joins are not supported in this version of ZyDatabase";

constexpr uint32_t zydErrBlobInWhere = 0x80000508;
constexpr const char* zydTxtBlobInWhere = "Text and Binary fields cannot be used in where clauses";
constexpr const char* zydMthParsedCriteriaColumnSet = "TZyDatabaseParsedCriteria.ColumnSet";

constexpr uint32_t zydErrFieldNotComparable = 0x80000509;
constexpr const char* zydTxtFieldNotComparable = "The field '%s' cannot be compared to '%s'";

constexpr uint32_t zydErrNoTable = 0x80000510;
constexpr const char* zydTxtNoTable = "There must be at least one table specified in the statement";

constexpr uint32_t zydErrFieldValueCount = 0x80000511;
constexpr const char* zydTxtFieldValueCount =
    "The number of fields does not equal the number of values";

// ---- Group 0x06: field value conversion -------------------------------------------------------
constexpr uint32_t zydErrFieldConvert = 0x80000601;
// field name, its type, the type asked for
constexpr const char* zydTxtFieldConvert =
    "The field '%s' is of type %s and may not be converted to type %s";
constexpr const char* zydMthFieldAsInteger = "TZyDatabaseField.AsInteger";
constexpr const char* zydMthFieldAsFloat10 = "TZyDatabaseField.AsFloat10";
constexpr const char* zydMthFieldAsDateTime = "TZyDatabaseField.AsDateTime";
constexpr const char* zydMthFieldAsBoolean = "TZyDatabaseField.AsBoolean";
constexpr const char* zydMthFieldAsByte = "TZyDatabaseField.AsByte";
constexpr const char* zydMthFieldAsCurrency = "TZyDatabaseField.AsCurrency";

// ---- Group 0x07: database and system ----------------------------------------------------------
constexpr uint32_t zydErrSysReserved = 0x80000702;
constexpr const char* zydTxtSysReserved =
    "This method is reserved for system use and should never be called by a client";

constexpr uint32_t zydErrDatabaseAlreadyOpen = 0x80000705;
constexpr const char* zydTxtDatabaseAlreadyOpen = "The database is already open using %s";
constexpr const char* zydMthDatabaseOpen = "TZyDatabase.Open";

constexpr uint32_t zydErrDatabaseNotOpen = 0x80000706;
constexpr const char* zydTxtDatabaseNotOpen = "The database must be open before calling %s";

constexpr uint32_t zydErrDatabaseNewer = 0x80000707;
// the file's version fields, then this engine's (major, minor, interface, build each)
constexpr const char* zydTxtDatabaseNewer =
    "This database was created with ZyDatabase version %d.%.2d.%d.%d which is newer than the "
    "version of ZyDatabase (%d.%.2d.%d.%d) currently in use";

// ---- Group 0x08: query parameters -------------------------------------------------------------
constexpr uint32_t zydErrParamConvert = 0x80000800;
// parameter name, source type, column type
constexpr const char* zydTxtParamConvert = "The '%s' parameter cannot be converted from %s to %s";

constexpr uint32_t zydErrParamLength = 0x80000801;
// parameter name, its length, source type, the value's length
constexpr const char* zydTxtParamLength =
    "The '%s' parameter has a length of %d bytes, but the assigned %s value has a length of %d "
    "bytes.";

constexpr const char* zydMthParamIntegerSet = "TZyDatabaseParam.IntegerSet";
constexpr const char* zydMthParamFloatSet = "TZyDatabaseParam.FloatSet";
constexpr const char* zydMthParamByteSet = "TZyDatabaseParam.ByteSet";
constexpr const char* zydMthParamByteStringSet = "TZyDatabaseParam.ByteStringSet";
constexpr const char* zydMthParamBooleanSet = "TZyDatabaseParam.BooleanSet";
constexpr const char* zydMthParamCurrencySet = "TZyDatabaseParam.CurrencySet";
constexpr const char* zydMthParamDateTimeSet = "TZyDatabaseParam.DateTimeSet";

// ---- Storage service failures (code: the service's own result, module zydModSystem) -----------
constexpr const char* zydMthStgCreateDocFile = "StgCreateDocFile";
constexpr const char* zydMthStgOpenStorage = "StgOpenStorage";
constexpr const char* zydMthStorageCreateStorage = "IStorage.CreateStorage";
constexpr const char* zydMthStorageOpenStorage = "IStorage.OpenStorage";
constexpr const char* zydMthStorageCreateStream = "IStorage.CreateStream";
constexpr const char* zydMthStorageOpenStream = "IStorage.OpenStream";
constexpr const char* zydMthStorageRenameElement = "IStorage.RenameElement";
constexpr const char* zydMthStorageEnumElements = "IStorage.EnumElements";
constexpr const char* zydMthStreamRead = "IStream.Read";
constexpr const char* zydMthStreamWrite = "IStream.Write";

// ---- Errors this engine adds for files and limits ----------------------------------------------
// A table stream cannot take another row: row numbers are 32-bit and a stream has a size limit.
constexpr uint32_t zydErrTableFull = 0x80000205;
constexpr const char* zydTxtTableFull = "The table '%s' is full: no more rows can be added";

// A compound file that lacks what every database has (the folders, a system table's stream, a
// user table's stream, the version record). %s says what is missing.
constexpr uint32_t zydErrNotDatabase = 0x80000708;
constexpr const char* zydTxtNotDatabase = "The file is not a valid ZyDatabase database: %s";
