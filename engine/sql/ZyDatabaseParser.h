// The statement parser: turns the token list of an accepted SQL text into a parsed statement.
// It runs only after the syntax check has accepted the text and relies on the shapes the grammar
// guarantees: each statement kind is read by a short state machine that walks the tokens once,
// picks names and values out by position and token class, and skips punctuation.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/sql/ZyDatabaseParserObjects.h"
#include "engine/sql/ZyLex.h"

// Builds the statement of tokens (the lexer's token list); the caller owns the result. Table,
// field and column names are stored in upper case, values as written. tokens' texts are
// upper-cased in place. Raises 0x80000500 "The SQL statement is empty" for an empty list, and
// passes on the errors of the statement parsers; the statement built so far is then freed.
std::unique_ptr<TZyDatabaseParsedSQL> zydParser(TZyTokenList& tokens);

// The statement parsers, over the upper-cased token list, from token 1.
void ParseSelect(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement);
void ParseInsert(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement);
void ParseDelete(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement);
void ParseUpdate(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement);
// Raises the identifier rule's 0x80000100 for a table or column name that is not a legal user
// identifier, and 0x80000102 for a column declared twice.
void ParseCreateTable(const TZyTokenList& tokens, TZyDatabaseParsedSQL& statement);

// Reads a condition from index into list: comparisons with the connective written before each
// (carried on until the next AND or OR), and each parenthesised part as one container. Returns
// with index at the ")" that closes the part it was called for, or at the end of the tokens
// (the count) when there is none. Raises 0x80000504 "The WHERE clause is invalid" for a comparison with fewer than
// three tokens left, and for parentheses nested deeper than any accepted statement can hold.
void ParseWhere(TZyDatabaseLogicTypes logic, const TZyTokenList& tokens, int32_t& index,
                TZyDatabaseParsedCriteriaList& list, TZyDatabaseParsedSQL& statement);
