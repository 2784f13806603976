#include "engine/query/ZyDatabaseQuery.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/query/ZyDatabaseCatalog.h"
#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParseSQL.h"
#include "engine/sql/ZyDatabaseParser.h"
#include "engine/sql/ZyDatabaseValidate.h"
#include "platform/framework/Exception.h"

namespace {

constexpr const char* kMthOpen = "TZyDatabaseQuery.Open";
constexpr const char* kMthPosition = "TZyDatabaseQuery.Position";
constexpr const char* kMthFirst = "TZyDatabaseQuery.First";
constexpr const char* kMthNext = "TZyDatabaseQuery.Next";
constexpr const char* kMthPrior = "TZyDatabaseQuery.Prior";
constexpr const char* kMthLast = "TZyDatabaseQuery.Last";
constexpr const char* kMthBeforeFirst = "TZyDatabaseQuery.BeforeFirst";
constexpr const char* kMthAfterLast = "TZyDatabaseQuery.AfterLast";
constexpr const char* kMthSysCurrentRowNo = "TZyDatabaseQuery.SysCurrentRowNo";

constexpr const char* kNoParamsHint =
    "There are not parameters in this query.\r\n\r\n"
    "Remember that parameters are are preceded by a : in the SQL statement.  They act as "
    "placeholders for data that will be inserted using the ParamByName method.";
constexpr const char* kParamsListed = "Valid parameters in this query include: ";

constexpr uint32_t kAllRows = 0xFFFFFFFFu;

bool Live(const uint8_t* record) {
  uint32_t status;
  std::memcpy(&status, record, sizeof status);
  return (status & zydRowDeleted) == 0;
}

}  // namespace

// ---- the statement text ---------------------------------------------------------------------

void TZyStrings::Append(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    if (count_ > 0) text_ += "\r\n";
    text_.append(text.data() + start, end - start);
    ++count_;
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
}

void TZyStrings::TextSet(std::string_view text) {
  text_.clear();  // keeps its capacity: a query that is given text after text reuses it
  count_ = 0;
  Append(text);
  Changed();
}

void TZyStrings::Add(std::string_view line) {
  if (line.empty()) {
    if (count_ > 0) text_ += "\r\n";
    ++count_;
  } else {
    Append(line);
  }
  Changed();
}

void TZyStrings::Clear() {
  text_.clear();
  count_ = 0;
  Changed();
}

std::string_view TZyStrings::StringsGet(int32_t index) const {
  if (index < 0 || index >= count_)
    throw zyfw::EListError(zydFormat("List index out of bounds (%d)", index));
  size_t start = 0;
  for (int32_t i = 0; i < index; ++i) start = text_.find("\r\n", start) + 2;
  const size_t end = text_.find("\r\n", start);
  return std::string_view(text_).substr(start, end == std::string::npos ? end : end - start);
}

// ---- life cycle -----------------------------------------------------------------------------

TZyDatabaseQuery::TZyDatabaseQuery(TZyDatabase* database)
    : database_(database), fields_(std::make_unique<TZyDatabaseFields>()) {
  sql_.OnChange = [this] { OnSQLChange(); };
}

TZyDatabaseQuery::~TZyDatabaseQuery() {
  sql_.OnChange = nullptr;
  Close();
}

void TZyDatabaseQuery::CheckDatabase(const std::string& method) const {
  if (!database_)
    throw EZyException(zydErrNoDatabase, zydModuleText(zydModQuery), method, zydTxtNoDatabase);
  if (!database_->Active())
    throw EZyException(zydErrDatabaseNotOpen, zydModuleText(zydModQuery), method,
                       zydFormat(zydTxtDatabaseNotOpen, method.c_str()));
}

void TZyDatabaseQuery::CheckActive(const std::string& method) const {
  if (!active_)
    throw EZyException(zydErrQueryNotActive, zydModuleText(zydModQuery), method,
                       zydFormat(zydTxtQueryNotActive, method.c_str()));
}

void TZyDatabaseQuery::Prepare() {
  CheckDatabase(zydMthQueryPrepare);
  if (prepared_) return;
  // One scanner serves every prepare of this query: its buffers are reused, not made anew.
  if (lexer_)
    lexer_->Reset();
  else
    lexer_ = std::make_unique<TZyLexSQL>();
  TZyLexSQL& lexer = *lexer_;
  TZyParseSQL checker;
  checker.Lexer = &lexer;
  const std::string& text = sql_.TextGet();
  lexer.Input.TextSet(text);
  if (checker.yyparse() != 0)
    throw EZyException(zydErrSQLSyntax, zydModuleText(zydModQuery), zydMthQueryPrepare,
                       checker.ErrorText, text);
  Unprepare();
  parsedSQL_ = zydParser(lexer.Tokens);
  zydValidate(*database_, *parsedSQL_);
  if (parsedSQL_->StatementTypeGet() != zydStatementCreateTable) {
    TZyDatabaseTableList* tables = database_->SysTables(zydSysKey);
    table_ = tables->Get(tables->FindIndex(parsedSQL_->TablesGet().Get(0)->NameGet()));
  }
  prepared_ = true;
}

void TZyDatabaseQuery::Unprepare() {
  // An open result reads its statement at every move, so it cannot outlive it.
  if (active_) Close();
  prepared_ = false;
  parsedSQL_.reset();
}

void TZyDatabaseQuery::OnSQLChange() {
  Close();
  Unprepare();
}

void TZyDatabaseQuery::Close() {
  active_ = false;
  fields_->Clear();
  rows_.reset();
}

void TZyDatabaseQuery::ExecSQL() {
  Open();
  Close();
}

void TZyDatabaseQuery::Open() {
  autoNumber_ = 0;
  rowsAffected_ = 0;
  if (active_) Close();
  // A row list that a failed UPDATE or DELETE left behind belongs to no result: every
  // execution, and every SELECT's first move, starts its own search.
  rows_.reset();
  if (!prepared_)
    Prepare();
  else
    CheckDatabase(kMthOpen);  // a closed database has released the tables the statement binds
  switch (parsedSQL_->StatementTypeGet()) {
    case zydStatementSelect: OpenSelect(); break;
    case zydStatementInsert: ExecInsert(); break;
    case zydStatementDelete: ExecChange(true); break;
    case zydStatementUpdate: ExecChange(false); break;
    case zydStatementCreateTable: ExecCreateTable(); break;
  }
}

// ---- execution ------------------------------------------------------------------------------

void TZyDatabaseQuery::OpenSelect() {
  TZyDatabaseParsedFieldList& wanted = parsedSQL_->FieldsGet();
  TZyDatabaseColumnList* columns = table_->ColumnsGet();
  uint64_t largest = 0;
  auto add = [&](TZyDatabaseColumn* column) {
    fields_->Add(table_, column);
    largest = std::max(largest, column->SizeGet());
  };
  // "*" stands for every column of the table in column order. Beside other names it adds the
  // columns not listed yet, and a name after it adds nothing new: each column shows once, where
  // it is first asked for.
  bool star = false;
  for (int32_t i = 0; i < wanted.CountGet(); ++i) {
    TZyDatabaseParsedField* field = wanted.Get(i);
    if (field->NameGet() == "*") {
      star = true;
      for (int32_t c = 0; c < columns->CountGet(); ++c)
        if (fields_->FindIndex(columns->Get(c)->NameGet()) < 0) add(columns->Get(c));
    } else if (!star || fields_->FindIndex(field->ColumnGet()->NameGet()) < 0) {
      add(field->ColumnGet());
    }
  }
  valueBuffer_.assign(largest + 1, 0);
  recordNo_ = 0;
  active_ = true;
}

const void* TZyDatabaseQuery::ValueOf(const TZyDatabaseParsedCriteria& criteria) {
  if (criteria.IsNullGet()) return nullptr;
  switch (criteria.ColumnGet()->TypeGet()) {
    case zydText: return TZyDatabaseParam::TextReferenceGet(criteria);
    case zydBinary: return TZyDatabaseParam::BinaryReferenceGet(criteria);
    default: return criteria.DataGet();
  }
}

TZyDatabaseColumnTypes TZyDatabaseQuery::ValueTypeOf(const TZyDatabaseParsedCriteria& criteria) {
  const TZyDatabaseColumnTypes type = criteria.ColumnGet()->TypeGet();
  // A Byte column stores whatever type its value came in (a literal's characters as a String);
  // every other buffer already holds the column's own type.
  return type == zydByte ? criteria.DataTypeGet() : type;
}

void TZyDatabaseQuery::ExecInsert() {
  TZyDatabaseParsedCriteriaList& values = parsedSQL_->ValueCriteriaGet();
  table_->RowAddBegin();
  for (int32_t i = 0; i < values.CountGet(); ++i) {
    const TZyDatabaseParsedCriteria* value = values.Get(i);
    // NULL leaves the column to RowAddEnd: the next auto-number, NULL, or "must be specified".
    if (value->IsNullGet()) continue;
    table_->RowUpdateField(value->FieldNameGet(), ValueOf(*value), ValueTypeOf(*value),
                           static_cast<int32_t>(value->DataSizeGet()));
  }
  autoNumber_ = static_cast<int64_t>(table_->RowAddEnd());
  rowsAffected_ = 1;
  Close();
}

void TZyDatabaseQuery::SelectRows() {
  const int32_t rowId = parsedSQL_->RowIdGet();
  if (rowId != 0) {
    // The row is named: nothing is searched or tested, and RecordCount keeps its value.
    rows_ = std::make_unique<TZyDatabaseRows>();
    rows_->Add(static_cast<uint32_t>(rowId));
  } else {
    RowsGet(kAllRows);
  }
}

void TZyDatabaseQuery::ExecChange(bool remove) {
  TZyDatabaseParsedCriteriaList& assignments = parsedSQL_->SetCriteriaGet();
  try {
    SelectRows();
    const uint32_t count = rows_->CountGet();
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t row = rows_->ItemsGet(i);
      if (remove) {
        table_->RowDelete(row);
      } else {
        table_->RowUpdateBegin(row);
        for (int32_t k = 0; k < assignments.CountGet(); ++k) {
          const TZyDatabaseParsedCriteria* set = assignments.Get(k);
          table_->RowUpdateField(set->FieldNameGet(), ValueOf(*set), ValueTypeOf(*set),
                                 static_cast<int32_t>(set->DataSizeGet()));
        }
        table_->RowUpdateEnd(false);
      }
      ++rowsAffected_;
    }
  } catch (...) {
    // The rows before the failing one stay changed. The row list goes (no later execution may
    // act on it), and so does the table's copy of the failing row: it may hold changes that were
    // refused and never written, which the next reader of that row must not see.
    rows_.reset();
    table_->RowAddBegin();
    throw;
  }
  Close();
}

void TZyDatabaseQuery::ExecCreateTable() {
  // Names the catalogue cannot keep are refused before anything is made; a refusal after the
  // table's stream exists would hold that name until the database closes.
  const std::string& name = parsedSQL_->TablesGet().Get(0)->NameGet();
  zydCatalogCheckName(name);
  TZyDatabaseParsedCreateFieldList& columns = parsedSQL_->CreateFieldsGet();
  for (int32_t i = 0; i < columns.CountGet(); ++i) zydCatalogCheckName(columns.Get(i)->NameGet());
  TZyDatabaseTable* table = database_->SysTableAdd(zydSysKey, name);
  table_ = table;
  try {
    for (int32_t i = 0; i < columns.CountGet(); ++i) {
      const TZyDatabaseParsedCreateField* column = columns.Get(i);
      const uint64_t flags = (column->AllowNullGet() ? zydColumnNullable : 0) |
                             (column->AutoNumberGet() ? zydColumnAutoNumber : 0);
      table->ColumnAdd(column->NameGet(), column->ColumnTypeGet(), flags, column->SizeGet());
    }
    table->CreateDone();
  } catch (...) {
    // A table whose definition was refused has no stream: it must not stay in the table list,
    // where the next statement naming it would find it.
    database_->SysTableDiscard(zydSysKey, table);
    table_ = nullptr;
    throw;
  }
}

// ---- the search -----------------------------------------------------------------------------

void TZyDatabaseQuery::RowsGet(uint32_t limit) {
  if (!rows_) {
    rows_ = std::make_unique<TZyDatabaseRows>();
    nextRowNo_ = 1;
  }
  TZyDatabaseRows& rows = *rows_;
  const TZyDatabaseParsedCriteriaList& where = parsedSQL_->WhereCriteriaGet();
  // The search ends quietly only at the end of the table. Anything else that fails (a damaged
  // file, a storage error) reaches the caller; nextRowNo_ then still names the row that failed.
  try {
    if (limit == kAllRows) {
      // To the end: whole batches of records in sequential reads.
      table_->Scan(nextRowNo_, [&](uint64_t row) {
        if (Live(table_->RowBuffer()) && FieldCompare(where)) rows.Add(static_cast<uint32_t>(row));
        nextRowNo_ = row + 1;
        return true;
      });
    } else {
      // Just far enough: one record at a time, so that stopping early wastes no read and a
      // forward pass reads each record once.
      const uint64_t last = table_->RowCountGet();
      while (rows.CountGet() < limit && nextRowNo_ <= last) {
        if (table_->RowGet(nextRowNo_) && FieldCompare(where))
          rows.Add(static_cast<uint32_t>(nextRowNo_));
        ++nextRowNo_;
      }
    }
  } catch (...) {
    recordCount_ = rows.CountGet();
    throw;
  }
  recordCount_ = rows.CountGet();
}

bool TZyDatabaseQuery::FieldCompare(const TZyDatabaseParsedCriteriaList& list) {
  if (parsedSQL_->WhereCriteriaGet().CountGet() == 0) return true;
  bool result = false;
  bool current = false;
  for (int32_t i = 0; i < list.CountGet(); ++i) {
    const TZyDatabaseParsedCriteria* criteria = list.Get(i);
    switch (criteria->CriteriaTypeGet()) {
      case zydCriteriaValue:
        if (TZyDatabaseColumn* column = criteria->ColumnGet()) {
          // A null value (the literal NULL, or a parameter without a value) is no value: only
          // IS NULL and IS NOT NULL can hold, never a comparison with the buffer's old bytes.
          current = table_->FieldCompare(column, criteria->OperationGet(),
                                         criteria->IsNullGet() ? nullptr : criteria->DataGet());
        } else {
          // SYS_ROWID: no column to compare, so no comparison holds; a row number is never
          // null, so IS NOT NULL holds for every row and IS NULL for none.
          current = criteria->OperationGet() == zydFieldOpNotNull;
        }
        break;
      case zydCriteriaContainer:
        current = FieldCompare(*criteria->CriteriaGet());
        break;
      case zydCriteriaField:
        break;  // no truth value of its own: the previous one stands
    }
    switch (criteria->LogicGet()) {
      case zydLogicNone: result = current; break;
      case zydLogicOr: result = result || current; break;
      case zydLogicAnd: result = result && current; break;
      case zydLogicInvalid: break;
    }
  }
  return result;
}

// ---- parameters and fields ------------------------------------------------------------------

TZyDatabaseParams& TZyDatabaseQuery::ParamsGet() {
  if (!prepared_) Prepare();
  return parsedSQL_->ParamsGet();
}

TZyDatabaseParam* TZyDatabaseQuery::ParamByName(const std::string& name) {
  if (!prepared_) Prepare();
  TZyDatabaseParams& params = parsedSQL_->ParamsGet();
  if (TZyDatabaseParam* param = params.Find(name)) return param;
  std::string details;
  if (params.CountGet() == 0) {
    details = kNoParamsHint;
  } else {
    details = kParamsListed;
    for (int32_t i = 0; i < params.CountGet(); ++i) {
      details += ' ';
      details += params.Get(i)->NameGet();
      if (i + 1 < params.CountGet()) details += ',';
    }
  }
  throw EZyException(zydErrParamNotFound, zydModuleText(zydModQuery), zydMthQueryParamByName,
                     zydFormat(zydTxtParamNotFound, name.c_str()), details);
}

TZyDatabaseField* TZyDatabaseQuery::FieldByName(const std::string& name) {
  CheckActive(zydMthQueryParamByName);
  if (!prepared_) Prepare();
  const int32_t index = fields_->FindIndex(name);
  if (index < 0)
    throw EZyException(zydErrFieldNotFound, zydModuleText(zydModQuery), zydMthQueryParamByName,
                       zydFormat(zydTxtFieldNotFound, name.c_str()));
  return fields_->Get(index);
}

uint32_t TZyDatabaseQuery::ColumnRowNoGet(uint32_t) {
  CheckActive(kMthSysCurrentRowNo);
  if (recordNo_ == 0 || recordNo_ > recordCount_ || !rows_) return 0;
  return rows_->ItemsGet(recordNo_ - 1);
}

// ---- the cursor -----------------------------------------------------------------------------

bool TZyDatabaseQuery::Position(uint32_t recordNo) {
  if (recordNo == recordNo_) return true;
  CheckActive(kMthPosition);
  CheckDatabase(kMthPosition);
  RowsGet(recordNo);
  if (!rows_ || recordNo == 0 || recordNo > recordCount_) return false;
  const uint32_t row = rows_->ItemsGet(recordNo - 1);
  // Other queries share the table's row buffer: load this row again before reading it.
  table_->RowGet(row);
  for (int32_t i = 0; i < fields_->CountGet(); ++i) {
    TZyDatabaseField* field = fields_->Get(i);
    bool isNull = false;
    TZyDatabaseColumnTypes type = field->ColumnTypeGet();
    table_->FieldGetData(row, field->ColumnNameGet(), valueBuffer_.data(), &isNull, &type);
    field->SysDataSet(zydSysKey, valueBuffer_.data(), isNull, type);
  }
  recordNo_ = recordNo;
  return true;
}

bool TZyDatabaseQuery::First() {
  CheckActive(kMthFirst);
  // Row 1 is loaded again even when the cursor stands on it.
  recordNo_ = 0;
  return Next();
}

bool TZyDatabaseQuery::Next() {
  CheckActive(kMthNext);
  return Position(recordNo_ + 1);
}

bool TZyDatabaseQuery::Prior() {
  CheckActive(kMthPrior);
  // From 0 this asks for record 0xFFFFFFFF: the whole table is searched, and no row is there.
  return Position(recordNo_ - 1);
}

bool TZyDatabaseQuery::Last() {
  CheckActive(kMthLast);
  CheckDatabase(kMthLast);
  RowsGet(kAllRows);
  // An empty result has no last row to land on: the move fails like any other, and the cursor
  // stays where it was.
  if (recordCount_ == 0) return false;
  const bool landed = Position(recordCount_);
  if (landed) recordNo_ = recordCount_ + 1;
  return landed;
}

bool TZyDatabaseQuery::BeforeFirst() {
  CheckActive(kMthBeforeFirst);
  recordNo_ = 0;
  return true;
}

bool TZyDatabaseQuery::AfterLast() {
  CheckActive(kMthAfterLast);
  CheckDatabase(kMthAfterLast);
  RowsGet(kAllRows);
  recordNo_ = recordCount_ + 1;
  return true;
}
