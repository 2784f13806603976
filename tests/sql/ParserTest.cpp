// The statement parser and the parsed statement model: what each statement kind builds, how a
// condition becomes a flat list with containers and carried connectives, and the errors.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/ZyException.h"
#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParseSQL.h"
#include "engine/sql/ZyDatabaseParser.h"
#include "engine/sql/ZyDatabaseParserObjects.h"

namespace {

// ---------------------------------------------------------------------------------------------
// A readable picture of the model.

const char* LogicName(TZyDatabaseLogicTypes l) {
  switch (l) {
    case zydLogicInvalid: return "Invalid";
    case zydLogicNone: return "None";
    case zydLogicOr: return "Or";
    case zydLogicAnd: return "And";
  }
  return "?";
}

const char* OpName(TZyDatabaseFieldOperations op) {
  static const char* const names[] = {"=", "<>", "<", "<=", ">", ">=", "IS", "IS NOT", "ALL"};
  return op <= zydFieldOpAll ? names[op] : "?";
}

// "<logic> <table.>field <op> <value> [str] [null] [param]" per criterion, containers as
// "<logic> (<sub-list>)", joined by "; ".
std::string Describe(const TZyDatabaseParsedCriteriaList& list) {
  std::string s;
  for (int32_t i = 0; i < list.CountGet(); ++i) {
    const TZyDatabaseParsedCriteria* c = list.Get(i);
    if (i > 0) s += "; ";
    s += LogicName(c->LogicGet());
    if (c->CriteriaTypeGet() == zydCriteriaContainer) {
      s += " (" + Describe(*c->CriteriaGet()) + ")";
      continue;
    }
    s += " ";
    if (!c->TableNameGet().empty()) s += c->TableNameGet() + ".";
    s += c->FieldNameGet() + " " + OpName(c->OperationGet()) + " ";
    if (c->CriteriaTypeGet() == zydCriteriaField) {
      s += c->TableName2Get() + "." + c->FieldName2Get() + " field";
      continue;
    }
    s += c->ValueGet();
    if (c->IsStringGet()) s += " str";
    if (c->IsNullGet()) s += " null";
    if (c->IsParamGet()) s += " param";
  }
  return s;
}

std::string Describe(const TZyDatabaseParsedFieldList& list) {
  std::string s;
  for (int32_t i = 0; i < list.CountGet(); ++i) {
    if (i > 0) s += ", ";
    if (!list.Get(i)->TableNameGet().empty()) s += list.Get(i)->TableNameGet() + ".";
    s += list.Get(i)->NameGet();
  }
  return s;
}

std::string Describe(const TZyDatabaseParsedTableList& list) {
  std::string s;
  for (int32_t i = 0; i < list.CountGet(); ++i) {
    if (i > 0) s += ", ";
    s += list.Get(i)->NameGet() + " as " + list.Get(i)->AliasGet();
  }
  return s;
}

// The text through the lexer and the syntax check, which must accept it, then the parser.
std::unique_ptr<TZyDatabaseParsedSQL> Parse(const std::string& text) {
  TZyLexSQL lex;
  TZyParseSQL check;
  check.Lexer = &lex;
  lex.Input.TextSet(text);
  EXPECT_EQ(check.yyparse(), 0) << check.ErrorText;
  return zydParser(lex.Tokens);
}

// A token list as the lexer would make it, without the syntax check.
TZyTokenList Tokens(const std::string& text) {
  TZyLexSQL lex;
  lex.Input.TextSet(text);
  while (lex.yylex() != 0) {
  }
  return lex.Tokens;
}

struct Statement {
  std::string text;
  TZyDatabaseStatementTypes type;
  std::string tables;
  std::string fields;
  std::string where;
  std::string set;
  std::string values;
};

TEST(Parser, WhatEachStatementBuilds) {
  const std::vector<Statement> cases = {
      {"select a, b from t where a = 'x'", zydStatementSelect, "T as T", "A, B",
       "None A = x str", "", ""},
      {"SELECT * FROM t", zydStatementSelect, "T as T", "*", "", "", ""},
      {"SELECT * FROM Tab WHERE Name IS NOT NULL", zydStatementSelect, "TAB as TAB", "*",
       "None NAME IS NOT NULL null", "", ""},
      {"insert into t values (1, 'abc', :p)", zydStatementInsert, "T as T", "", "", "",
       "None T. = 1; None T. = abc str; None T. = :p param"},
      {"INSERT INTO t (a) VALUES ('NULL')", zydStatementInsert, "T as T", "T.A", "", "",
       "None T. = NULL str"},
      {"INSERT INTO t (a, b) VALUES (-1.5, TRUE)", zydStatementInsert, "T as T", "T.A, T.B", "",
       "", "None T. = -1.5; None T. = TRUE"},
      {"UPDATE t SET a = NULL, b = 'c' WHERE SYS_ROWID = 5", zydStatementUpdate, "T as T", "",
       "None SYS_ROWID = 5", "None A = NULL null; None B = c str", ""},
      {"update t set a = null", zydStatementUpdate, "T as T", "", "", "None A = null null", ""},
      {"UPDATE t SET a = :v WHERE b = :w OR c = :v", zydStatementUpdate, "T as T", "",
       "None B = :w param; Or C = :v param", "None A = :v param", ""},
      {"DELETE FROM t WHERE a = 1 OR (b < 2 AND k IS NOT NULL) AND d >= :x", zydStatementDelete,
       "T as T", "", "None A = 1; Or (None B < 2; And K IS NOT NULL null); And D >= :x param",
       "", ""},
      {"DELETE FROM t", zydStatementDelete, "T as T", "", "", "", ""},
      // Values keep their case; names do not.
      {"select MixedCase from Tbl where Col <> 'MiXeD' and Col2 = :Param_1", zydStatementSelect,
       "TBL as TBL", "MIXEDCASE", "None COL <> MiXeD str; And COL2 = :Param_1 param", "", ""},
      // A string literal keeps its doubled quotes; ":p" and "null" in quotes are strings.
      {"SELECT a FROM t WHERE a = 'It''s' OR a = ':p' OR a = 'null'", zydStatementSelect,
       "T as T", "A", "None A = It''s str; Or A = :p str; Or A = null str", "", ""},
  };
  for (const Statement& c : cases) {
    SCOPED_TRACE(c.text);
    std::unique_ptr<TZyDatabaseParsedSQL> s = Parse(c.text);
    EXPECT_EQ(s->StatementTypeGet(), c.type);
    EXPECT_EQ(Describe(s->TablesGet()), c.tables);
    EXPECT_EQ(Describe(s->FieldsGet()), c.fields);
    EXPECT_EQ(Describe(s->WhereCriteriaGet()), c.where);
    EXPECT_EQ(Describe(s->SetCriteriaGet()), c.set);
    EXPECT_EQ(Describe(s->ValueCriteriaGet()), c.values);
    EXPECT_EQ(s->CreateFieldsGet().CountGet(), 0);
    EXPECT_EQ(s->ParamsGet().CountGet(), 0);
    EXPECT_EQ(s->RowIdGet(), 0);
  }
}

TEST(Parser, ConditionsAreFlatListsReadLeftToRight) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a = 1 OR b = 2 AND c = 3", "None A = 1; Or B = 2; And C = 3"},
      {"a = 1 AND b = 2 AND c = 3", "None A = 1; And B = 2; And C = 3"},
      // A container takes the connective written before its parenthesis; inside, the first
      // criterion starts again with None.
      {"(a = 1)", "None (None A = 1)"},
      {"((a = 1))", "None (None (None A = 1))"},
      {"(a = 1) AND (b = 2 OR c = 3)", "None (None A = 1); And (None B = 2; Or C = 3)"},
      {"a = 1 OR (b = 2 AND (c = 3 OR d IS NULL)) AND e = 5",
       "None A = 1; Or (None B = 2; And (None C = 3; Or D IS NULL null)); And E = 5"},
      // After a container the connective in force is the one before it, until the next one.
      {"(a = 1) OR (b = 2) AND c = 3", "None (None A = 1); Or (None B = 2); And C = 3"},
      {"a = TRUE OR b = FALSE OR c = 1.5E3 OR d = -2", "None A = TRUE; Or B = FALSE; "
                                                       "Or C = 1.5E3; Or D = -2"},
      {"a < 1 AND a <= 2 AND a > 3 AND a >= 4 AND a <> 5 AND a IS null",
       "None A < 1; And A <= 2; And A > 3; And A >= 4; And A <> 5; And A IS null null"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TZyDatabaseParsedSQL> s = Parse("SELECT x FROM t WHERE " + c.first);
    EXPECT_EQ(Describe(s->WhereCriteriaGet()), c.second) << c.first;
  }
}

TEST(Parser, CreateTable) {
  std::unique_ptr<TZyDatabaseParsedSQL> s =
      Parse("CREATE TABLE t (a SignedInt64 AutoNumber, b String(25) NULL, k Float4)");
  EXPECT_EQ(s->StatementTypeGet(), zydStatementCreateTable);
  EXPECT_EQ(Describe(s->TablesGet()), "T as T");
  TZyDatabaseParsedCreateFieldList& f = s->CreateFieldsGet();
  ASSERT_EQ(f.CountGet(), 3);
  struct Column {
    const char* name;
    TZyDatabaseColumnTypes type;
    uint32_t size;
    bool allowNull, autoNumber;
  };
  const Column expected[] = {{"A", zydSignedInt64, 0, false, true},
                             {"B", zydString, 25, true, false},
                             {"K", zydFloat4, 0, false, false}};
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(f.Get(i)->NameGet(), expected[i].name);
    EXPECT_EQ(f.Get(i)->ColumnTypeGet(), expected[i].type);
    EXPECT_EQ(f.Get(i)->SizeGet(), expected[i].size);
    EXPECT_EQ(f.Get(i)->AllowNullGet(), expected[i].allowNull);
    EXPECT_EQ(f.Get(i)->AutoNumberGet(), expected[i].autoNumber);
  }
}

TEST(Parser, CreateTableTypesSizesAndOptions) {
  struct Column {
    const char* definition;
    TZyDatabaseColumnTypes type;
    uint32_t size;
    bool allowNull, autoNumber;
  };
  const Column columns[] = {
      {"SignedInt64", zydSignedInt64, 0, false, false},
      {"SignedInt32", zydSignedInt32, 0, false, false},
      {"UnsignedInt32", zydUnsignedInt32, 0, false, false},
      {"SignedInt16", zydSignedInt16, 0, false, false},
      {"UnsignedInt16", zydUnsignedInt16, 0, false, false},
      {"SignedInt8", zydSignedInt8, 0, false, false},
      {"UnsignedInt8", zydUnsignedInt8, 0, false, false},
      {"Float4", zydFloat4, 0, false, false},
      {"Float8", zydFloat8, 0, false, false},
      {"Float10", zydFloat10, 0, false, false},
      {"Boolean", zydBoolean, 0, false, false},
      {"Currency", zydCurrency, 0, false, false},
      {"DateTime", zydDateTime, 0, false, false},
      {"String(10)", zydString, 10, false, false},
      {"Byte(+8)", zydByte, 8, false, false},
      {"Text NULL", zydText, 0, true, false},
      {"Binary null", zydBinary, 0, true, false},
      // Options in any order, repeats allowed.
      {"SignedInt32 NULL AUTONUMBER NULL", zydSignedInt32, 0, true, true},
      {"UnsignedInt8 AutoNumber AutoNumber", zydUnsignedInt8, 0, false, true},
      // A size that is no 32-bit integer counts as 0; a negative one wraps as the unsigned
      // size it is stored in (the table refuses such a column).
      {"String(--5)", zydString, 0, false, false},
      {"Byte(99999999999)", zydByte, 0, false, false},
      {"String(-1)", zydString, 4294967295u, false, false},
  };
  for (const Column& c : columns) {
    std::string text = std::string("create table Tab (Col ") + c.definition + ")";
    SCOPED_TRACE(text);
    std::unique_ptr<TZyDatabaseParsedSQL> s = Parse(text);
    ASSERT_EQ(s->CreateFieldsGet().CountGet(), 1);
    const TZyDatabaseParsedCreateField* f = s->CreateFieldsGet().Get(0);
    EXPECT_EQ(f->NameGet(), "COL");
    EXPECT_EQ(f->ColumnTypeGet(), c.type);
    EXPECT_EQ(f->SizeGet(), c.size);
    EXPECT_EQ(f->AllowNullGet(), c.allowNull);
    EXPECT_EQ(f->AutoNumberGet(), c.autoNumber);
    EXPECT_EQ(Describe(s->TablesGet()), "TAB as TAB");
  }
}

// The statement keeps the tokens as written; the caller's list comes back upper-cased.
TEST(Parser, TokensCopyKeepsTheTextAsWritten) {
  TZyTokenList tokens = Tokens("select Aa from t where b = 'xY'");
  std::unique_ptr<TZyDatabaseParsedSQL> s = zydParser(tokens);
  const TZyTokenList& copy = s->TokensGet();
  ASSERT_EQ(copy.CountGet(), 8);
  const char* written[] = {"select", "Aa", "from", "t", "where", "b", "=", "xY"};
  const char* upper[] = {"SELECT", "AA", "FROM", "T", "WHERE", "B", "=", "XY"};
  const int32_t numbers[] = {257, 269, 262, 269, 263, 269, 280, 272};
  for (int32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(copy.StringsGet(i), written[i]);
    EXPECT_EQ(copy.NumberGet(i), numbers[i]);
    EXPECT_EQ(tokens.StringsGet(i), upper[i]);
    EXPECT_EQ(tokens.NumberGet(i), numbers[i]);
  }
}

struct Failure {
  std::string text;
  uint32_t code;
  std::string method;
  std::string message;
};

void ExpectFailure(TZyTokenList tokens, const Failure& f) {
  SCOPED_TRACE(f.text);
  try {
    zydParser(tokens);
    ADD_FAILURE() << "no error";
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), f.code);
    EXPECT_EQ(e.ModuleGet(0), "ZyDatabase");
    EXPECT_EQ(e.MethodGet(0), f.method);
    EXPECT_EQ(e.TextGet(0), f.message);
  }
}

TEST(Parser, Errors) {
  const std::vector<Failure> accepted = {
      {"CREATE TABLE SYS_X (a Text)", 0x80000100, "ZyDatabaseIsNameValid",
       "Only the system may use 'SYS_' for identifiers"},
      {"CREATE TABLE sp_x (a Text)", 0x80000100, "ZyDatabaseIsNameValid",
       "Only the system may use 'SP_' for identifiers"},
      {"CREATE TABLE t (a Text, sys_b Text)", 0x80000100, "ZyDatabaseIsNameValid",
       "Only the system may use 'SYS_' for identifiers"},
      // "*" is an identifier to the grammar, but no name of a table or column.
      {"CREATE TABLE t (* Text)", 0x80000100, "ZyDatabaseIsNameValid",
       "The character '*' is invalid"},
      {"CREATE TABLE * (a Text)", 0x80000100, "ZyDatabaseIsNameValid",
       "The character '*' is invalid"},
      {"CREATE TABLE t (a Text, A Float4)", 0x80000102, "TZyDatabaseGenericList.Add",
       "That name has already been used"},
      {"SELECT a, b, A FROM t", 0x80000102, "TZyDatabaseGenericList.Add",
       "That name has already been used"},
      {"INSERT INTO t (a, a) VALUES (1, 2)", 0x80000102, "TZyDatabaseGenericList.Add",
       "That name has already been used"},
  };
  for (const Failure& f : accepted) {
    TZyLexSQL lex;
    TZyParseSQL check;
    check.Lexer = &lex;
    lex.Input.TextSet(f.text);
    ASSERT_EQ(check.yyparse(), 0) << f.text;
    ExpectFailure(lex.Tokens, f);
  }
  // Token lists the syntax check would never pass on.
  ExpectFailure(TZyTokenList(),
                {"(no tokens)", 0x80000500, "zydParser", "The SQL statement is empty"});
  ExpectFailure(Tokens("SELECT a FROM t WHERE a ="),
                {"truncated comparison", 0x80000504, "ParseWhere", "The WHERE clause is invalid"});
  ExpectFailure(Tokens("DELETE FROM t WHERE (a = 1 AND (b"),
                {"truncated in parentheses", 0x80000504, "ParseWhere",
                 "The WHERE clause is invalid"});
}

// Token lists that no statement has: the result is not defined, but the parse ends, and without
// reading past the list.
TEST(Parser, UncheckedTokenListsEnd) {
  const char* texts[] = {"SELECT", "SELECT FROM", "UPDATE t SET a", "UPDATE t SET a =",
                         "CREATE TABLE t (a String(", "CREATE TABLE t (a Byte",
                         "DELETE FROM t WHERE ((((((((((((((((((((((((a = 1",
                         "DELETE FROM t WHERE ) ) a = 1", "FROM t", "a = 1"};
  for (const char* text : texts) {
    TZyTokenList tokens = Tokens(text);
    EXPECT_NO_THROW(zydParser(tokens)) << text;
  }
  // Unbalanced parentheses nested deeper than any accepted statement: an error, not a deep
  // recursion.
  TZyTokenList deep = Tokens("SELECT a FROM t WHERE " + std::string(2000, '(') + "a = 1");
  ExpectFailure(deep, {"deep", 0x80000504, "ParseWhere", "The WHERE clause is invalid"});
  // The deepest nesting the syntax check accepts parses.
  std::unique_ptr<TZyDatabaseParsedSQL> s = Parse("DELETE FROM t WHERE " +
                                                  std::string(1017, '(') + "a = 1\n" +
                                                  std::string(1017, ')'));
  const TZyDatabaseParsedCriteriaList* list = &s->WhereCriteriaGet();
  for (int i = 0; i < 1017; ++i) {
    ASSERT_EQ(list->CountGet(), 1);
    ASSERT_EQ(list->Get(0)->CriteriaTypeGet(), zydCriteriaContainer);
    list = list->Get(0)->CriteriaGet();
  }
  EXPECT_EQ(Describe(*list), "None A = 1");
}

TEST(Parser, TokensThatStartNoStatementLeaveItEmpty) {
  TZyTokenList tokens = Tokens("FROM t WHERE a = 1");
  std::unique_ptr<TZyDatabaseParsedSQL> s = zydParser(tokens);
  EXPECT_EQ(s->StatementTypeGet(), zydStatementSelect);
  EXPECT_EQ(s->TablesGet().CountGet(), 0);
  EXPECT_EQ(s->WhereCriteriaGet().CountGet(), 0);
  EXPECT_EQ(s->TokensGet().CountGet(), 6);
}

// ---------------------------------------------------------------------------------------------
// The model on its own.

TEST(ParsedModel, EnumerationOrdinals) {
  EXPECT_EQ(zydStatementSelect, 0);
  EXPECT_EQ(zydStatementInsert, 1);
  EXPECT_EQ(zydStatementDelete, 2);
  EXPECT_EQ(zydStatementUpdate, 3);
  EXPECT_EQ(zydStatementCreateTable, 4);
  EXPECT_EQ(zydCriteriaValue, 0);
  EXPECT_EQ(zydCriteriaField, 1);
  EXPECT_EQ(zydCriteriaContainer, 2);
  EXPECT_EQ(zydLogicInvalid, 0);
  EXPECT_EQ(zydLogicNone, 1);
  EXPECT_EQ(zydLogicOr, 2);
  EXPECT_EQ(zydLogicAnd, 3);
  EXPECT_EQ(zydCriteriaListWhere, 0);
  EXPECT_EQ(zydCriteriaListSet, 1);
  EXPECT_EQ(zydCriteriaListValues, 2);
  EXPECT_EQ(sizeof(TZyDatabaseStatementTypes), 1u);
  EXPECT_EQ(sizeof(TZyDatabaseCriteriaTypes), 1u);
  EXPECT_EQ(sizeof(TZyDatabaseLogicTypes), 1u);
  EXPECT_EQ(sizeof(TZyDatabaseCriteriaListTypes), 1u);
  // Comparison tokens map to operators by subtraction.
  EXPECT_EQ(zydTokenEqual - 280, zydFieldOpEqualTo);
  EXPECT_EQ(zydTokenLess - 280, zydFieldOpLessThan);
  EXPECT_EQ(zydTokenGreaterOrEqual - 280, zydFieldOpGreaterThanOrEqualTo);
  EXPECT_EQ(zydTokenIs - 280, zydFieldOpIsNull);
  EXPECT_EQ(zydTokenIsNot - 280, zydFieldOpNotNull);
}

TEST(ParsedModel, ValueCriteriaNullAndParameter) {
  TZyDatabaseParsedSQL s{TZyTokenList()};
  struct Case {
    const char* value;
    bool isString;
    bool isNull;
    bool isParam;
  };
  const Case cases[] = {{"null", false, true, false},  {"null", true, false, false},
                        {"NuLl", false, true, false},  {"nulls", false, false, false},
                        {":p", false, false, true},    {":p", true, false, false},
                        {"", false, false, false},     {"1", false, false, false}};
  for (const Case& c : cases) {
    TZyDatabaseParsedCriteria* k =
        s.CriteriaAdd(zydLogicAnd, "F", "T", zydFieldOpLessThan, c.value, c.isString);
    EXPECT_EQ(k->IsNullGet(), c.isNull) << c.value << " " << c.isString;
    EXPECT_EQ(k->IsParamGet(), c.isParam) << c.value << " " << c.isString;
    EXPECT_EQ(k->CriteriaTypeGet(), zydCriteriaValue);
    EXPECT_EQ(k->NameGet(), "F");
    EXPECT_EQ(k->FieldNameGet(), "F");
    EXPECT_EQ(k->TableNameGet(), "T");
    EXPECT_EQ(k->OperationGet(), zydFieldOpLessThan);
    EXPECT_EQ(k->ValueGet(), c.value);
    EXPECT_EQ(k->LogicGet(), zydLogicAnd);
    EXPECT_EQ(k->ColumnGet(), nullptr);
    EXPECT_EQ(k->DataGet(), nullptr);
    EXPECT_EQ(k->DataTypeGet(), zydSignedInt64);
  }
  // Criteria lists allow the same name again, in any case.
  EXPECT_EQ(s.WhereCriteriaGet().CountGet(), 8);
}

TEST(ParsedModel, FieldCriteriaAndContainers) {
  TZyDatabaseParsedSQL s{TZyTokenList()};
  TZyDatabaseParsedCriteria* f = s.CriteriaAdd(zydLogicNone, "A", "T", zydFieldOpEqualTo, "B", "U");
  EXPECT_EQ(f->CriteriaTypeGet(), zydCriteriaField);
  EXPECT_EQ(f->FieldName2Get(), "B");
  EXPECT_EQ(f->TableName2Get(), "U");
  EXPECT_FALSE(f->IsStringGet());
  TZyDatabaseParsedCriteria* c = s.CriteriaAddContainer(zydLogicOr);
  EXPECT_EQ(c->CriteriaTypeGet(), zydCriteriaContainer);
  EXPECT_EQ(c->NameGet(), "");
  ASSERT_NE(c->CriteriaGet(), nullptr);
  EXPECT_EQ(c->CriteriaGet()->ListTypeGet(), zydCriteriaListWhere);
  c->CriteriaGet()->Add(zydLogicNone, "X", "", zydFieldOpEqualTo, "1", false);
  c->CriteriaGet()->Add(zydLogicAnd, "x", "", zydFieldOpEqualTo, "2", false);
  EXPECT_EQ(Describe(s.WhereCriteriaGet()), "None T.A = U.B field; Or (None X = 1; And x = 2)");
  EXPECT_EQ(f->CriteriaGet(), nullptr);

  EXPECT_EQ(s.WhereCriteriaGet().ListTypeGet(), zydCriteriaListWhere);
  EXPECT_EQ(s.SetCriteriaGet().ListTypeGet(), zydCriteriaListSet);
  EXPECT_EQ(s.ValueCriteriaGet().ListTypeGet(), zydCriteriaListValues);
}

TEST(ParsedModel, NamedListsRefuseRepeats) {
  TZyDatabaseParsedSQL s{TZyTokenList()};
  s.FieldAdd("A", "");
  try {
    s.FieldAdd("a", "T");
    ADD_FAILURE() << "no error";
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000102u);
    EXPECT_EQ(e.TextGet(0), "That name has already been used");
  }
  EXPECT_EQ(s.FieldsGet().CountGet(), 1);
  s.TableAdd("T", "T");
  EXPECT_THROW(s.TableAdd("t", "X"), EZyException);
  s.CreateFieldsGet().Add("C", zydText, 0, false, false);
  EXPECT_THROW(s.CreateFieldsGet().Add("c", zydBinary, 0, true, false), EZyException);
  EXPECT_EQ(s.CreateFieldsGet().CountGet(), 1);
  EXPECT_EQ(s.StatementTypeGet(), zydStatementSelect);
}

TEST(ParsedModel, ValueBuffer) {
  TZyDatabaseParsedSQL s{TZyTokenList()};
  TZyDatabaseParsedCriteria* k = s.CriteriaAdd(zydLogicNone, "A", "", zydFieldOpEqualTo, "7", false);
  uint8_t* d = k->DataAllocate(9);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(k->DataCapacityGet(), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(d[i], 0) << i;
  d[8] = 0xFF;
  uint8_t* again = k->DataAllocate(3);
  EXPECT_EQ(k->DataCapacityGet(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(again[i], 0) << i;
}

}  // namespace
