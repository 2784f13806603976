/* The grammar of the SQL dialect, and with it the syntax check TZyParseSQL::yyparse. The build
   turns this file into an LALR(1) parser (bison); nothing else defines what a statement may
   look like, so the statement parser may take every shape accepted here for granted.

   The terminals are the lexer's tokens with their numbers. The whole text must be exactly one
   statement followed by the end of the input. The two shift/reduce conflicts are the AND/OR
   chain of a condition: shifting is right, since the check only decides acceptance and the
   statement parser reads connectives strictly from left to right. */

%code top {
#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParseSQL.h"
}

%code {
// A fixed stack that never grows: it holds at most 1024 entries (the generated driver reports
// exhaustion when it would fill its last slot), which gives the documented statement limits.
#define YYINITDEPTH 1025
#define YYMAXDEPTH 1025

static int zydsqllex(int* value, TZyParseSQL& parser);
static void zydsqlerror(TZyParseSQL& parser, const char* msg);
}

%define api.prefix {zydsql}
%define api.pure full
%define api.value.type {int}
%define api.token.prefix {TK_}
%define parse.error simple
%parse-param {TZyParseSQL& parser}
%lex-param {TZyParseSQL& parser}
%expect 2

%token SELECT 257 "SELECT"
%token INSERT_INTO 258 "INSERT INTO"
%token DELETE_FROM 259 "DELETE FROM"
%token UPDATE 260 "UPDATE"
%token CREATE_TABLE 261 "CREATE TABLE"
%token FROM 262 "FROM"
%token WHERE 263 "WHERE"
%token SET 264 "SET"
%token VALUES 265 "VALUES"
%token COMMA 266 ","
%token AND 267 "AND"
%token OR 268 "OR"
%token IDENTIFIER 269 "IDENTIFIER"
%token PARAMETER 270 "PARAMETER"
%token COMMENT 271 "COMMENT"
%token STRING_LITERAL 272 "STRING_LITERAL"
%token INTEGER 273 "INTEGER"
%token FLOAT 274 "FLOAT"
%token NULL 275 "NULL"
%token TRUE 276 "TRUE"
%token FALSE 277 "FALSE"
%token OPEN 278 "("
%token CLOSE 279 ")"
%token EQ 280 "="
%token NE 281 "<>"
%token LT 282 "<"
%token LE 283 "<="
%token GT 284 ">"
%token GE 285 ">="
%token IS 286 "IS"
%token IS_NOT 287 "IS NOT"
%token SIGNEDINT64 288 "SIGNEDINT64"
%token SIGNEDINT32 289 "SIGNEDINT32"
%token UNSIGNEDINT32 290 "UNSIGNEDINT32"
%token SIGNEDINT16 291 "SIGNEDINT16"
%token UNSIGNEDINT16 292 "UNSIGNEDINT16"
%token SIGNEDINT8 293 "SIGNEDINT8"
%token UNSIGNEDINT8 294 "UNSIGNEDINT8"
%token FLOAT10 295 "FLOAT10"
%token FLOAT8 296 "FLOAT8"
%token FLOAT4 297 "FLOAT4"
%token BOOLEAN 298 "BOOLEAN"
%token CURRENCY 299 "CURRENCY"
%token DATETIME 300 "DATETIME"
%token STRING 301 "STRING"
%token BYTE 302 "BYTE"
%token TEXT 303 "TEXT"
%token BINARY 304 "BINARY"
%token AUTONUMBER 305 "AUTONUMBER"
/* Reserved words and characters no rule accepts: tokens that no statement contains. */
%token SUM 306 "SUM"
%token COUNT 307 "COUNT"
%token MIN 308 "MIN"
%token MAX 309 "MAX"
%token AVG 310 "AVG"
%token ILLEGAL 311 "Illegal Token"

%start statement

%%

statement
  : select_statement
  | insert_statement
  | update_statement
  | delete_statement
  | create_statement
  ;

select_statement
  : "SELECT" field_list "FROM" table_name
  | "SELECT" field_list "FROM" table_name "WHERE" condition
  ;

insert_statement
  : "INSERT INTO" table_name "VALUES" "(" value_list ")"
  | "INSERT INTO" table_name "(" field_list ")" "VALUES" "(" value_list ")"
  ;

update_statement
  : "UPDATE" table_name "SET" assignment_list
  | "UPDATE" table_name "SET" assignment_list "WHERE" condition
  ;

delete_statement
  : "DELETE FROM" table_name
  | "DELETE FROM" table_name "WHERE" condition
  ;

create_statement
  : "CREATE TABLE" "IDENTIFIER" "(" column_list ")"
  ;

field_list
  : field_name
  | field_name "," field_list
  ;

field_name : "IDENTIFIER" ;

table_name : "IDENTIFIER" ;

value_list
  : value
  | value "," value_list
  ;

value
  : literal
  | "PARAMETER"
  ;

literal
  : "INTEGER"
  | "FLOAT"
  | "TRUE"
  | "FALSE"
  | "STRING_LITERAL"
  ;

assignment_list
  : assignment
  | assignment "," assignment_list
  ;

assignment
  : "IDENTIFIER" "=" value
  | "IDENTIFIER" "=" "NULL"
  ;

condition
  : comparison
  | condition logic_operator condition
  | "(" condition ")"
  ;

logic_operator
  : "AND"
  | "OR"
  ;

comparison
  : field_name comparison_operator literal
  | field_name comparison_operator "PARAMETER"
  | field_name null_operator "NULL"
  ;

comparison_operator
  : "="
  | "<>"
  | "<"
  | ">"
  | "<="
  | ">="
  ;

null_operator
  : "IS"
  | "IS NOT"
  ;

column_list
  : column_definition
  | column_definition "," column_list
  ;

column_definition
  : "IDENTIFIER" column_type column_options
  ;

column_options
  : %empty
  | column_option column_options
  ;

column_option
  : "AUTONUMBER"
  | "NULL"
  ;

column_type
  : fixed_type
  | sized_type "(" "INTEGER" ")"
  ;

sized_type
  : "STRING"
  | "BYTE"
  ;

fixed_type
  : "SIGNEDINT64"
  | "SIGNEDINT32"
  | "UNSIGNEDINT32"
  | "SIGNEDINT16"
  | "UNSIGNEDINT16"
  | "SIGNEDINT8"
  | "UNSIGNEDINT8"
  | "FLOAT10"
  | "FLOAT8"
  | "FLOAT4"
  | "BOOLEAN"
  | "DATETIME"
  | "CURRENCY"
  | "TEXT"
  | "BINARY"
  ;

%%

// The generated driver renames yylex, yyerror and yyparse by macro; below they are the lexer's
// and the parser's own members.
#undef yylex
#undef yyerror
#undef yyparse

// The parser's terminals are the lexer's token numbers.
static_assert(int{TK_SELECT} == zydTokenSelect && int{TK_CREATE_TABLE} == zydTokenCreateTable &&
                  int{TK_STRING_LITERAL} == zydTokenStringLiteral &&
                  int{TK_IS_NOT} == zydTokenIsNot && int{TK_STRING} == zydTokenTypeString &&
                  int{TK_AUTONUMBER} == zydTokenAutoNumber && int{TK_ILLEGAL} == zydTokenIllegal,
              "grammar and lexer number their tokens alike");

static int zydsqllex(int* value, TZyParseSQL& parser) {
  // Without a lexer there is no input: the parse fails at its end.
  int32_t token = parser.Lexer ? parser.Lexer->yylex() : 0;
  if (token < 0) token = 0;
  parser.Lookahead = token;
  *value = parser.Value;
  return token;
}

static void zydsqlerror(TZyParseSQL& parser, const char* msg) {
  // The generated driver speaks of a "syntax error" or of "memory exhausted" when its stack is
  // full; the system's own words are these.
  const bool overflow = std::string(msg).find("exhausted") != std::string::npos;
  if (!overflow) ++parser.ErrorCount;
  parser.yyerror(overflow ? "Stack Overflow" : "Syntax Error");
}

int32_t TZyParseSQL::yyparse() {
  Debug = false;
  Flag = 0;
  ErrorState = 0;
  ErrorCount = 0;
  Lookahead = -1;
  ErrorText.clear();
  return zydsqlparse(*this) == 0 ? 0 : 1;
}
