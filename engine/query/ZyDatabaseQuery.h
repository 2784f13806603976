// The query object: one SQL statement run against an open database. It drives the whole road
// from text to effect (lexer, syntax check, statement parser, validation), keeps the prepared
// statement with its parameters, and either opens a SELECT, whose rows a cursor then walks, or
// executes an INSERT, UPDATE, DELETE or CREATE TABLE.
//
// A SELECT is evaluated lazily: opening it builds only the result fields, and each cursor move
// searches the table just far enough for the row it needs, testing every live row against the
// WHERE clause strictly from left to right (AND does not bind tighter than OR; parentheses make
// a sub-list that yields one truth value; every criterion is evaluated, none is skipped).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParam.h"
#include "engine/sql/ZyDatabaseParserObjects.h"
#include "engine/table/ZyDatabaseField.h"
#include "engine/table/ZyDatabaseMain.h"
#include "engine/table/ZyDatabaseRows.h"

// The statement text as a list of lines. Every change calls OnChange, through which the query
// closes and unprepares itself, so a prepared statement always belongs to the text it came from.
// The lines are kept joined with CR LF, the form in which the text is prepared.
class TZyStrings {
 public:
  // Replaces every line by the lines of text, split at CR LF, CR or LF; a break at the very end
  // starts no further line.
  void TextSet(std::string_view text);
  // The lines joined with CR LF (no break after the last).
  const std::string& TextGet() const { return text_; }
  // Appends line as one more line; line breaks inside it start further lines.
  void Add(std::string_view line);
  void Clear();
  int32_t CountGet() const { return count_; }
  // Raises zyfw::EListError for an index outside 0 .. count - 1.
  std::string_view StringsGet(int32_t index) const;

  std::function<void()> OnChange;

 private:
  void Append(std::string_view text);
  void Changed() {
    if (OnChange) OnChange();
  }
  std::string text_;
  int32_t count_ = 0;
};

class TZyDatabaseQuery {
 public:
  explicit TZyDatabaseQuery(TZyDatabase* database = nullptr);
  ~TZyDatabaseQuery();
  TZyDatabaseQuery(const TZyDatabaseQuery&) = delete;
  TZyDatabaseQuery& operator=(const TZyDatabaseQuery&) = delete;

  // A plain reference: the caller closes and releases its queries (or resets their database)
  // before it closes or releases the database.
  TZyDatabase* DatabaseGet() const { return database_; }
  void DatabaseSet(TZyDatabase* database) { database_ = database; }
  TZyStrings& SQLGet() { return sql_; }

  // Lexes, checks, parses and validates the text; nothing when already prepared. Raises
  // 0x80000400 / 0x80000706 (method "TZyDatabaseQuery.Prepare") without an open database, and
  // 0x80000502 with the syntax check's message and the SQL text as details; the errors of the
  // parser and of validation pass through. Only a validated statement is prepared.
  void Prepare();
  void Unprepare();
  // Executes the statement: a SELECT stays open; the other kinds finish here. The first thing
  // it does is to forget the last AutoNumber and RowsAffected.
  void Open();
  // Open, then Close.
  void ExecSQL();
  void Close();

  // Prepares when needed. ParamByName raises 0x80000401 "The '<name>' parameter was not found",
  // with details listing the statement's parameters (or a hint when it has none).
  TZyDatabaseParams& ParamsGet();
  TZyDatabaseParam* ParamByName(const std::string& name);
  // A result column of the open SELECT; 0x80000403 (method "TZyDatabaseQuery.ParamByName") on
  // an inactive query, 0x80000402 "The '<name>' field was not found" for an unknown name.
  TZyDatabaseField* FieldByName(const std::string& name);
  TZyDatabaseFields& FieldsGet() { return *fields_; }

  // The cursor. Record numbers count the matching rows from 1 in table order; 0 is before the
  // first, RecordCount + 1 after the last. A move returns whether it landed on a row; a move
  // that fails leaves RecordNo and the field values as they were. Position(RecordNo) returns
  // true at once, even on an inactive query; every other move on an inactive query raises
  // 0x80000403 naming itself ("TZyDatabaseQuery.Next", ...).
  bool Position(uint32_t recordNo);
  void RecordNoSet(uint32_t recordNo) { Position(recordNo); }
  bool First();
  bool Next();
  bool Prior();
  // Loads the last row and leaves the cursor after it, so that Prior comes back to it.
  bool Last();
  bool BeforeFirst();
  bool AfterLast();

  bool ActiveGet() const { return active_; }
  bool PreparedGet() const { return prepared_; }
  uint32_t RecordNoGet() const { return recordNo_; }
  // Matching rows found so far; set only by the search (see Open).
  uint32_t RecordCountGet() const { return recordCount_; }
  // The first auto-number the last INSERT assigned; 0 if none.
  int64_t AutoNumberGet() const { return autoNumber_; }
  // Rows the last INSERT, UPDATE or DELETE wrote (as far as it got, should it fail part-way);
  // 0 after a SELECT or CREATE TABLE.
  uint32_t RowsAffectedGet() const { return rowsAffected_; }
  // The statement's table; for CREATE TABLE the table the execution created.
  TZyDatabaseTable* TableGet() const { return table_; }
  TZyDatabaseParsedSQL* ParsedSQLGet() const { return parsedSQL_.get(); }

  // The table row number of the current result row; 0 before the first and after the last.
  // Raises 0x80000403 (method "TZyDatabaseQuery.SysCurrentRowNo") on an inactive query. The
  // index is not used.
  uint32_t ColumnRowNoGet(uint32_t index = 0);
  uint32_t SysCurrentRowNo() { return ColumnRowNoGet(0); }

  // The search: extends the matching rows until at least limit are known or the table ends
  // (0xFFFFFFFF: all of them).
  void RowsGet(uint32_t limit);
  // The WHERE clause (or one parenthesised part of it) against the table's current row.
  bool FieldCompare(const TZyDatabaseParsedCriteriaList& list);
  // 0x80000400 "A database must be assigned to this query" / 0x80000706 "The database must be
  // open before calling <method>", with method as the method text.
  void CheckDatabase(const std::string& method) const;
  // 0x80000403 "The query must be active before calling <method>".
  void CheckActive(const std::string& method) const;
  // The text changed: Close, then Unprepare.
  void OnSQLChange();

 private:
  void OpenSelect();
  void ExecInsert();
  void ExecChange(bool remove);
  void ExecCreateTable();
  // The rows an UPDATE or DELETE works on, all found before the first is changed.
  void SelectRows();
  // The value and value type a SET or VALUES criterion hands to the table.
  static const void* ValueOf(const TZyDatabaseParsedCriteria& criteria);
  static TZyDatabaseColumnTypes ValueTypeOf(const TZyDatabaseParsedCriteria& criteria);

  TZyDatabase* database_ = nullptr;
  TZyDatabaseTable* table_ = nullptr;
  std::unique_ptr<TZyDatabaseFields> fields_;
  std::unique_ptr<TZyDatabaseRows> rows_;
  uint32_t recordNo_ = 0;
  uint32_t recordCount_ = 0;
  // 64 bits, so that the search past a table's last possible row number cannot wrap to row 0.
  uint64_t nextRowNo_ = 1;
  int64_t autoNumber_ = 0;
  std::unique_ptr<TZyDatabaseParsedSQL> parsedSQL_;
  TZyStrings sql_;
  bool active_ = false;
  bool prepared_ = false;
  uint32_t rowsAffected_ = 0;
  std::vector<uint8_t> valueBuffer_;
  // The scanner of the last prepare, kept with its buffers for the next one (made on first use).
  std::unique_ptr<TZyLexSQL> lexer_;
};
