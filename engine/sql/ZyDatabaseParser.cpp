#include "engine/sql/ZyDatabaseParser.h"

#include <string>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/sql/ZyDatabaseLexSQL.h"
#include "platform/framework/Convert.h"

namespace {

// No accepted statement nests its parentheses this deep (the syntax check's stack ends far
// sooner); a token list that never went through the check cannot recurse without bound.
constexpr int32_t kMaxNesting = 1024;

const std::string& NameAt(const TZyTokenList& tokens, int32_t i) { return tokens.StringsGet(i); }

// The value at i keeps the case in which it was written: it comes from the statement's copy.
const std::string& ValueAt(const TZyDatabaseParsedSQL& statement, int32_t i) {
  return statement.TokensGet().StringsGet(i);
}

[[noreturn]] void WhereInvalid() {
  throw EZyException(zydErrWhereInvalid, zydModuleText(zydModParser), zydMthParseWhere,
                     zydTxtWhereInvalid);
}

void ParseWhereAt(TZyDatabaseLogicTypes logic, const TZyTokenList& tokens, int32_t& index,
                  TZyDatabaseParsedCriteriaList& list, TZyDatabaseParsedSQL& statement,
                  int32_t depth) {
  if (depth > kMaxNesting) WhereInvalid();
  const int32_t count = tokens.CountGet();
  int32_t i = index;
  while (i < count) {
    const int32_t number = tokens.NumberGet(i);
    if (number == zydTokenOpenParenthesis) {
      ++i;
      TZyDatabaseParsedCriteria* container = list.AddContainer(logic);
      ParseWhereAt(zydLogicNone, tokens, i, *container->CriteriaGet(), statement, depth + 1);
    } else if (number == zydTokenCloseParenthesis) {
      index = i;
      return;
    } else if (number == zydTokenAnd) {
      logic = zydLogicAnd;
    } else if (number == zydTokenOr) {
      logic = zydLogicOr;
    } else {
      // A comparison: field, operator, value, told apart by their classes.
      if (i + 2 >= count) WhereInvalid();
      const std::string* field = nullptr;
      const std::string* value = nullptr;
      bool isString = false;
      int32_t operation = zydFieldOpEqualTo;
      for (int32_t k = i; k <= i + 2; ++k) {
        const int32_t n = tokens.NumberGet(k);
        switch (GetTokenClass(n)) {
          case zydTokenClassIdentifier:
            if (!field) field = &NameAt(tokens, k);
            break;
          case zydTokenClassParameter:
          case zydTokenClassValue:
            value = &ValueAt(statement, k);
            isString = n == zydTokenStringLiteral;
            break;
          case zydTokenClassComparison: operation = n - zydTokenEqual; break;
          default: break;
        }
      }
      static const std::string kNone;
      list.Add(logic, field ? *field : kNone, kNone,
               static_cast<TZyDatabaseFieldOperations>(operation), value ? *value : kNone,
               isString);
      i += 2;
    }
    ++i;
  }
  // The end of the tokens. Accepted statements close every parenthesis first; for any other
  // list, ending every enclosing part here as well keeps them from reading the rest again.
  index = count;
}

// The column type a type keyword names.
TZyDatabaseColumnTypes ColumnTypeOf(int32_t token) {
  switch (token) {
    case zydTokenTypeSignedInt64: return zydSignedInt64;
    case zydTokenTypeSignedInt32: return zydSignedInt32;
    case zydTokenTypeUnsignedInt32: return zydUnsignedInt32;
    case zydTokenTypeSignedInt16: return zydSignedInt16;
    case zydTokenTypeUnsignedInt16: return zydUnsignedInt16;
    case zydTokenTypeSignedInt8: return zydSignedInt8;
    case zydTokenTypeUnsignedInt8: return zydUnsignedInt8;
    case zydTokenTypeFloat10: return zydFloat10;
    case zydTokenTypeFloat8: return zydFloat8;
    case zydTokenTypeFloat4: return zydFloat4;
    case zydTokenTypeBoolean: return zydBoolean;
    case zydTokenTypeCurrency: return zydCurrency;
    case zydTokenTypeDateTime: return zydDateTime;
    case zydTokenTypeString: return zydString;
    case zydTokenTypeByte: return zydByte;
    case zydTokenTypeText: return zydText;
    default: return zydBinary;
  }
}

}  // namespace

void ParseWhere(TZyDatabaseLogicTypes logic, const TZyTokenList& tokens, int32_t& index,
                TZyDatabaseParsedCriteriaList& list, TZyDatabaseParsedSQL& statement) {
  ParseWhereAt(logic, tokens, index, list, statement, 0);
}

std::unique_ptr<TZyDatabaseParsedSQL> zydParser(TZyTokenList& tokens) {
  if (tokens.CountGet() == 0)
    throw EZyException(zydErrSQLEmpty, zydModuleText(zydModParser), zydMthParser, zydTxtSQLEmpty);
  // The copy keeps the texts as written; should anything below raise, it goes with the
  // statement.
  auto statement = std::make_unique<TZyDatabaseParsedSQL>(tokens);
  tokens.UpperCaseAll();
  switch (tokens.NumberGet(0)) {
    case zydTokenSelect: ParseSelect(tokens, *statement); break;
    case zydTokenInsert: ParseInsert(tokens, *statement); break;
    case zydTokenDelete: ParseDelete(tokens, *statement); break;
    case zydTokenUpdate: ParseUpdate(tokens, *statement); break;
    case zydTokenCreateTable: ParseCreateTable(tokens, *statement); break;
    default: break;  // no statement: left empty
  }
  return statement;
}

void ParseSelect(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement) {
  statement.StatementTypeSet(zydStatementSelect);
  bool inTable = false;
  for (int32_t i = 1; i < tokens.CountGet(); ++i) {
    const int32_t number = tokens.NumberGet(i);
    if (number == zydTokenFrom) {
      inTable = true;
    } else if (number == zydTokenWhere) {
      int32_t index = i + 1;
      ParseWhere(zydLogicNone, tokens, index, statement.WhereCriteriaGet(), statement);
      return;
    } else if (number == zydTokenComma) {
      continue;
    } else if (inTable) {
      statement.TableAdd(NameAt(tokens, i), NameAt(tokens, i));
    } else {
      statement.FieldAdd(NameAt(tokens, i), std::string());
    }
  }
}

void ParseInsert(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement) {
  statement.StatementTypeSet(zydStatementInsert);
  enum { kTable, kFields, kValues } state = kTable;
  std::string tableName;
  for (int32_t i = 1; i < tokens.CountGet(); ++i) {
    const int32_t number = tokens.NumberGet(i);
    if (number == zydTokenValues) {
      state = kValues;
    } else if (number == zydTokenComma || number == zydTokenOpenParenthesis ||
               number == zydTokenCloseParenthesis) {
      continue;
    } else if (state == kTable) {
      tableName = NameAt(tokens, i);
      statement.TableAdd(tableName, tableName);
      state = kFields;
    } else if (state == kFields) {
      statement.FieldAdd(NameAt(tokens, i), tableName);
    } else {
      statement.ValueCriteriaGet().Add(zydLogicNone, std::string(), tableName, zydFieldOpEqualTo,
                                       ValueAt(statement, i), number == zydTokenStringLiteral);
    }
  }
}

void ParseDelete(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement) {
  statement.StatementTypeSet(zydStatementDelete);
  bool inTable = true;
  for (int32_t i = 1; i < tokens.CountGet(); ++i) {
    const int32_t number = tokens.NumberGet(i);
    if (number == zydTokenWhere) {
      int32_t index = i + 1;
      ParseWhere(zydLogicNone, tokens, index, statement.WhereCriteriaGet(), statement);
      return;
    } else if (number == zydTokenComma || number == zydTokenOpenParenthesis ||
               number == zydTokenCloseParenthesis) {
      continue;
    } else if (inTable) {
      statement.TableAdd(NameAt(tokens, i), NameAt(tokens, i));
      inTable = false;
    }
  }
}

void ParseUpdate(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement) {
  statement.StatementTypeSet(zydStatementUpdate);
  bool inTable = true;
  for (int32_t i = 1; i < tokens.CountGet(); ++i) {
    const int32_t number = tokens.NumberGet(i);
    if (number == zydTokenSet) {
      inTable = false;
    } else if (number == zydTokenWhere) {
      int32_t index = i + 1;
      ParseWhere(zydLogicNone, tokens, index, statement.WhereCriteriaGet(), statement);
      return;
    } else if (number == zydTokenComma || number == zydTokenOpenParenthesis ||
               number == zydTokenCloseParenthesis) {
      continue;
    } else if (inTable) {
      statement.TableAdd(NameAt(tokens, i), NameAt(tokens, i));
      inTable = false;
    } else if (i + 2 < tokens.CountGet()) {
      // name "=" value
      statement.SetCriteriaGet().Add(zydLogicNone, NameAt(tokens, i), std::string(),
                                     zydFieldOpEqualTo, ValueAt(statement, i + 2),
                                     tokens.NumberGet(i + 2) == zydTokenStringLiteral);
      i += 2;
    }
  }
}

void ParseCreateTable(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement) {
  statement.StatementTypeSet(zydStatementCreateTable);
  bool inColumns = false;
  // The pending column: name and type carry over to the next one, size and options do not.
  std::string name;
  TZyDatabaseColumnTypes type = zydSignedInt64;
  uint32_t size = 0;
  bool allowNull = false;
  bool autoNumber = false;
  for (int32_t i = 1; i < tokens.CountGet(); ++i) {
    const int32_t number = tokens.NumberGet(i);
    if (number == zydTokenOpenParenthesis) {
      inColumns = true;
    } else if (number == zydTokenComma || number == zydTokenCloseParenthesis) {
      statement.CreateFieldsGet().Add(name, type, size, allowNull, autoNumber);
      size = 0;
      allowNull = false;
      autoNumber = false;
    } else if (!inColumns) {
      ZyDatabaseIsNameValid(NameAt(tokens, i), false);
      statement.TableAdd(NameAt(tokens, i), NameAt(tokens, i));
    } else if (number == zydTokenNull) {
      allowNull = true;
    } else if (number == zydTokenAutoNumber) {
      autoNumber = true;
    } else if (GetTokenClass(number) == zydTokenClassIdentifier) {
      name = NameAt(tokens, i);
      ZyDatabaseIsNameValid(name, false);
    } else if (GetTokenClass(number) == zydTokenClassColumnType) {
      type = ColumnTypeOf(number);
      if (number == zydTokenTypeString || number == zydTokenTypeByte) {
        // "(" size ")": a size that is no 32-bit integer counts as 0.
        int32_t declared = 0;
        if (i + 2 < tokens.CountGet() && !zyfw::TryStrToInt(NameAt(tokens, i + 2), &declared))
          declared = 0;
        size = static_cast<uint32_t>(declared);
        i += 3;
      }
    }
  }
}
