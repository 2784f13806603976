#include "tools/zydb/Shell.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyException.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/table/ZyDatabaseMain.h"
#include "platform/framework/Convert.h"
#include "platform/framework/Exception.h"

namespace zydb {

namespace {

std::string StripLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string Code(uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "$%08X", code);
  return hex;
}

bool IsBlankText(const std::string& text) { return zyfw::Trim(text).empty(); }

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

void InterruptsCatch() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptTake() {
  const bool was = interrupted != 0;
  interrupted = 0;
  return was;
}

void CheckInterrupt() {
  if (InterruptTake()) throw ShellError("interrupted");
}

std::vector<std::string> CommandWords(const std::string& line, size_t restAfter,
                                      std::string* rest) {
  std::vector<std::string> words;
  size_t i = 0;
  auto blanks = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  };
  for (;;) {
    blanks();
    if (rest && words.size() == restAfter) {
      *rest = line.substr(i);
      return words;
    }
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '\'' || line[i] == '"') {
      const char quote = line[i++];
      while (i < line.size() && line[i] != quote) word += line[i++];
      if (i < line.size()) ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
    }
    words.push_back(word);
  }
  if (rest) rest->clear();
  return words;
}

Shell::Shell() = default;

Shell::~Shell() {
  try {
    CloseDatabase();
  } catch (...) {
  }
}

void Shell::OpenDatabase(const std::string& file, bool replace) {
  CloseDatabase();
  struct stat st;
  const bool missing = ::stat(file.c_str(), &st) != 0 && errno == ENOENT;
  auto database = std::make_unique<TZyDatabase>();
  database->FileName = file;
  database->Open(replace || missing ? zydDatabaseCreate : 0);
  if (missing && !replace)
    std::fprintf(stderr, "zydb: %s did not exist; created a new database\n", file.c_str());
  database_ = std::move(database);
  fileName_ = file;
}

void Shell::CloseDatabase() {
  if (!database_) return;
  std::unique_ptr<TZyDatabase> database = std::move(database_);
  database->Close();
}

TZyDatabase& Shell::Database() {
  if (!database_ || !database_->Active()) throw ShellError("no database is open");
  return *database_;
}

std::ostream& Shell::Out() { return file_ ? static_cast<std::ostream&>(*file_) : std::cout; }

void Shell::AfterOutput() {
  Out().flush();
  if (onceUnits_ > 0 && --onceUnits_ == 0) file_.reset();
}

bool Shell::RunStream(std::istream& in, const Source& source) {
  StatementSplitter splitter;
  std::string line;
  while (!quit_ && std::getline(in, line)) {
    const Unit unit = splitter.Feed(line);
    if (unit.kind != Unit::None && !RunUnit(unit, source)) return false;
  }
  if (quit_) return false;
  const Unit unit = splitter.Finish();
  if (unit.kind != Unit::None && !RunUnit(unit, source)) return false;
  return true;
}

bool Shell::RunText(const std::string& text) {
  std::istringstream in(text);
  return RunStream(in, Source{"", false});
}

bool Shell::RunUnit(const Unit& unit, const Source& source) {
  try {
    if (unit.kind == Unit::Command)
      Command(unit.text);
    else if (!IsBlankText(unit.text))
      ExecuteSql(unit.text);
    AfterOutput();
  } catch (const std::exception& e) {
    try {
      AfterOutput();
    } catch (...) {
    }
    ReportError(DescribeException(e), unit, source);
    failed_ = true;
    if (bail) bailed_ = true;
  }
  return !quit_ && !bailed_;
}

std::string Shell::DescribeException(const std::exception& e) const {
  if (const auto* z = dynamic_cast<const EZyException*>(&e)) {
    std::string text = Code(z->CodeGet(0)) + " " + StripLineEnd(z->TextGet(0));
    if (verbose) {
      for (uint32_t i = 0; i < z->CountGet(); ++i) {
        text += "\n  #" + std::to_string(i) + " " + Code(z->CodeGet(i)) + " " + z->ModuleGet(i) +
                " " + z->MethodGet(i) + ": " + StripLineEnd(z->TextGet(i));
        const std::string details = StripLineEnd(z->DetailsGet(i));
        if (!details.empty()) text += "\n     details: " + details;
      }
    }
    return text;
  }
  if (const auto* f = dynamic_cast<const zyfw::Exception*>(&e)) {
    if (verbose) return std::string(f->ClassName()) + ": " + f->Message();
    return f->Message();
  }
  return e.what();
}

void Shell::ReportError(const std::string& message, const Unit& unit, const Source& source) {
  std::cout.flush();
  std::string where;
  if (source.numbered) {
    where = " near line " + std::to_string(unit.line);
    if (!source.name.empty()) where += " of " + source.name;
  }
  std::fprintf(stderr, "Error%s: %s\n", where.c_str(), message.c_str());
  std::fflush(stderr);
}

void Shell::BindParams(TZyDatabaseQuery& query, std::vector<ParamSlot>& slots) {
  TZyDatabaseParams& params = query.ParamsGet();
  slots.resize(static_cast<size_t>(params.CountGet()));
  for (int32_t i = 0; i < params.CountGet(); ++i) {
    TZyDatabaseParam* param = params.Get(i);
    auto it = params_.find(zyfw::UpperCase(param->NameGet()));
    if (it != params_.end()) ApplyParam(*param, it->second, slots[static_cast<size_t>(i)]);
  }
}

uint64_t Shell::PrintResult(TZyDatabaseQuery& query) {
  TZyDatabaseFields& fields = query.FieldsGet();
  const int32_t n = fields.CountGet();
  std::vector<OutputColumn> columns;
  for (int32_t i = 0; i < n; ++i) {
    TZyDatabaseField* field = fields.Get(i);
    columns.push_back(OutputColumn{field->ColumnNameGet(), KindOfType(field->ColumnTypeGet())});
  }
  ResultPrinter printer(Out(), output, std::move(columns));
  std::vector<Cell> cells(static_cast<size_t>(n));
  while (query.Next()) {
    CheckInterrupt();
    for (int32_t i = 0; i < n; ++i) cells[static_cast<size_t>(i)] = FieldCell(*fields.Get(i));
    printer.Row(cells);
  }
  printer.Finish();
  return printer.RowCount();
}

void Shell::ExecuteSql(const std::string& sql) {
  TZyDatabase& database = Database();
  const auto start = std::chrono::steady_clock::now();
  std::vector<ParamSlot> slots;  // outlives the query, which reads Text and Binary values from it
  TZyDatabaseQuery query(&database);
  query.SQLGet().TextSet(sql);
  query.Prepare();
  BindParams(query, slots);
  query.Open();
  const TZyDatabaseStatementTypes kind = query.ParsedSQLGet()->StatementTypeGet();
  uint64_t rows = 0;
  if (query.ActiveGet()) {
    rows = PrintResult(query);
    query.Close();
  } else {
    rows = query.RowsAffectedGet();
  }
  const bool change =
      kind == zydStatementInsert || kind == zydStatementUpdate || kind == zydStatementDelete;
  if (changes && change) {
    Out() << "changes: " << rows;
    if (kind == zydStatementInsert && query.AutoNumberGet() != 0)
      Out() << "   auto-number: " << query.AutoNumberGet();
    Out() << '\n';
  }
  if (timer) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char text[64];
    std::snprintf(text, sizeof text, "Run time: %.3f s, %s: ", seconds,
                  kind == zydStatementSelect ? "rows" : "rows changed");
    Out() << text << rows << '\n';
  }
}

TZyDatabaseTable* Shell::FindTable(const std::string& name) {
  TZyDatabaseTableList* tables = Database().SysTables(zydSysKey);
  const int32_t i = tables->FindIndex(name);
  if (i < 0) throw ShellError("no table named " + name);
  return tables->Get(i);
}

}  // namespace zydb
