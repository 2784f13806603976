// The dot-commands other than .schema and .dump: dispatch, settings, parameters, .import,
// .read, .output, .storage, .binary and .help.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/table/ZyDatabaseMain.h"
#include "platform/compound/Compound.h"
#include "platform/framework/Convert.h"
#include "platform/framework/Stream.h"
#include "platform/framework/SysMessage.h"
#include "tools/zydb/Csv.h"
#include "tools/zydb/Shell.h"

namespace zydb {

namespace {

const char kHelp[] =
    ".binary FILE SELECT ...   write the first value of the query's first row to FILE\n"
    "                          (Binary as its bytes, Text as its text)\n"
    ".bail on|off              stop a script at the first error (default off)\n"
    ".changes on|off           after INSERT, UPDATE and DELETE show the rows changed and the\n"
    "                          auto-number an INSERT assigned (default off)\n"
    ".dump [TABLE]             CREATE TABLE and INSERT statements that rebuild the tables\n"
    ".exit, .quit              leave the shell\n"
    ".headers on|off           column names in table, box and csv output (default on)\n"
    ".help                     this text\n"
    ".import FILE TABLE        insert the rows of a CSV file into an existing table; a first\n"
    "                          row that names columns of the table chooses those columns\n"
    ".mode [MODE]              table, box, csv, json or line (default table)\n"
    ".nullvalue TEXT           how NULL looks in table, box and line output (default empty)\n"
    ".once FILE                send the next result to FILE\n"
    ".output [FILE]            send results to FILE, or back to standard output\n"
    ".param set NAME VALUE     the value of :NAME in the statements that follow; VALUE is\n"
    "                          NULL, 'quoted text', x'hex bytes' or a bare value read by the\n"
    "                          column's type (hexadecimal for Binary and Byte columns;\n"
    "                          Type:value stores another type in a Byte column)\n"
    ".param file NAME FILE     the bytes of FILE as the value of :NAME\n"
    ".param unset NAME         forget one value; .param clear forgets all\n"
    ".param list               show the values\n"
    ".read FILE                run the statements and commands in FILE\n"
    ".schema [TABLE]           the CREATE TABLE statements of the tables\n"
    ".storage                  the storages and streams inside the database file\n"
    ".tables                   the user tables\n"
    ".timer on|off             time and row count after each statement (default off)\n"
    ".width N                  widest cell table and box show whole (default 60; 0: no limit)\n"
    "Statements end with ';' at the end of a line. Lines starting with -- between statements\n"
    "are comments.\n";

bool OnOff(const std::vector<std::string>& words) {
  if (words.size() != 2) throw ShellError(words[0] + " takes on or off");
  const std::string v = zyfw::LowerCase(words[1]);
  if (v == "on" || v == "yes" || v == "1") return true;
  if (v == "off" || v == "no" || v == "0") return false;
  throw ShellError(words[0] + " takes on or off, not \"" + words[1] + "\"");
}

void Need(const std::vector<std::string>& words, size_t low, size_t high, const char* usage) {
  if (words.size() < low || words.size() > high) throw ShellError(std::string("usage: ") + usage);
}

// Parameter names are what follows the colon in the statement.
std::string ParamKey(std::string name) {
  if (!name.empty() && name[0] == ':') name.erase(0, 1);
  bool ok = !name.empty() && std::isalpha(static_cast<unsigned char>(name[0]));
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') ok = false;
  if (!ok) throw ShellError("\"" + name + "\" is not a parameter name");
  return zyfw::UpperCase(name);
}

std::string ShowParam(const ParamValue& v) {
  switch (v.form) {
    case ParamValue::Null: return "NULL";
    case ParamValue::Bytes: return "x'" + HexEncode(v.data.data(), v.data.size()) + "'";
    case ParamValue::Text: return SqlQuote(v.data);
    default: return v.data;
  }
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ShellError("cannot open " + path + ": " + std::strerror(errno));
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ShellError("cannot read " + path + ": " + std::strerror(errno));
  return bytes;
}

std::string ResultText(zycfb::Result r) {
  std::string message = zyfw::SysErrorMessage(r);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  char hex[16];
  std::snprintf(hex, sizeof hex, "$%08X", r);
  return std::string(hex) + " " + message;
}

void ListStorage(std::ostream& out, zycfb::Storage& storage, int depth) {
  std::vector<zycfb::ElementStat> children;
  zycfb::Result r = storage.EnumElements(&children);
  if (zycfb::Failed(r)) throw ShellError("cannot list the file: " + ResultText(r));
  for (const zycfb::ElementStat& child : children) {
    const bool isStorage = child.type != zycfb::STGTY_STREAM;
    char line[64];
    std::snprintf(line, sizeof line, "%-7s %12s  ", isStorage ? "storage" : "stream",
                  isStorage ? "-" : std::to_string(child.size).c_str());
    out << line << std::string(2 * depth, ' ') << zycfb::Utf16ToUtf8(child.name)
        << (isStorage ? "/" : "") << '\n';
    if (!isStorage) continue;
    std::shared_ptr<zycfb::Storage> sub;
    r = storage.OpenStorage(child.name, zycfb::STGM_READ | zycfb::STGM_SHARE_EXCLUSIVE, &sub);
    if (zycfb::Failed(r)) throw ShellError("cannot open a storage: " + ResultText(r));
    ListStorage(out, *sub, depth + 1);
  }
}

}  // namespace

void Shell::Command(const std::string& line) {
  const std::vector<std::string> words = CommandWords(line);
  const std::string& name = words[0];
  if (name == ".quit" || name == ".exit") {
    quit_ = true;
  } else if (name == ".help") {
    CmdHelp();
  } else if (name == ".tables") {
    Need(words, 1, 1, ".tables");
    CmdTables();
  } else if (name == ".schema") {
    Need(words, 1, 2, ".schema [TABLE]");
    CmdSchema(words.size() > 1 ? words[1] : "");
  } else if (name == ".dump") {
    Need(words, 1, 2, ".dump [TABLE]");
    CmdDump(words.size() > 1 ? words[1] : "");
  } else if (name == ".import") {
    CmdImport(words);
  } else if (name == ".read") {
    Need(words, 2, 2, ".read FILE");
    CmdRead(words[1]);
  } else if (name == ".param" || name == ".parameter") {
    CmdParam(line, words);
  } else if (name == ".timer") {
    timer = OnOff(words);
  } else if (name == ".changes") {
    changes = OnOff(words);
  } else if (name == ".bail") {
    bail = OnOff(words);
  } else if (name == ".headers" || name == ".header") {
    output.headers = OnOff(words);
  } else if (name == ".mode") {
    Need(words, 1, 2, ".mode [table|box|csv|json|line]");
    if (words.size() == 1) {
      Out() << "current output mode: " << OutputModeName(output.mode) << '\n';
    } else if (!OutputModeFromName(zyfw::LowerCase(words[1]), &output.mode)) {
      throw ShellError("unknown mode \"" + words[1] + "\"; the modes are table, box, csv, json, line");
    }
  } else if (name == ".width") {
    Need(words, 2, 2, ".width N");
    int64_t n = 0;
    if (!zyfw::TryStrToInt64(words[1], &n) || n < 0 || n == 1 || n == 2)
      throw ShellError(".width takes 0 (no limit) or a width of at least 3 characters");
    output.maxWidth = static_cast<size_t>(n);
  } else if (name == ".nullvalue") {
    Need(words, 2, 2, ".nullvalue TEXT");
    output.nullValue = words[1];
  } else if (name == ".output") {
    Need(words, 1, 2, ".output [FILE]");
    CmdOutput(words.size() > 1 ? words[1] : "", false);
  } else if (name == ".once") {
    Need(words, 2, 2, ".once FILE");
    CmdOutput(words[1], true);
  } else if (name == ".storage") {
    Need(words, 1, 1, ".storage");
    CmdStorage();
  } else if (name == ".binary") {
    CmdBinary(line);
  } else {
    throw ShellError("unknown command " + name + "; enter .help for the list");
  }
}

void Shell::CmdTables() {
  TZyDatabaseTableList* tables = Database().SysTables(zydSysKey);
  for (int32_t i = 0; i < tables->CountGet(); ++i) {
    TZyDatabaseTable* table = tables->Get(i);
    if (!table->SystemGet()) Out() << table->NameGet() << '\n';
  }
}

void Shell::CmdParam(const std::string& line, const std::vector<std::string>& words) {
  const std::string sub = words.size() > 1 ? words[1] : "";
  if (sub == "set") {
    std::string rest;
    const std::vector<std::string> head = CommandWords(line, 3, &rest);
    if (head.size() < 3 || rest.empty()) throw ShellError("usage: .param set NAME VALUE");
    params_[ParamKey(head[2])] = ParseParamValue(rest);
  } else if (sub == "file") {
    Need(words, 4, 4, ".param file NAME FILE");
    const std::string key = ParamKey(words[2]);
    ParamValue value;
    value.form = ParamValue::Bytes;
    value.data = ReadWholeFile(words[3]);
    params_[key] = std::move(value);
  } else if (sub == "unset") {
    Need(words, 3, 3, ".param unset NAME");
    params_.erase(ParamKey(words[2]));
  } else if (sub == "clear") {
    Need(words, 2, 2, ".param clear");
    params_.clear();
  } else if (sub == "list") {
    Need(words, 2, 2, ".param list");
    for (const auto& p : params_) Out() << p.first << " = " << ShowParam(p.second) << '\n';
  } else {
    throw ShellError("usage: .param set NAME VALUE | file NAME FILE | unset NAME | clear | list");
  }
}

void Shell::CmdRead(const std::string& file) {
  if (readDepth_ >= 16) throw ShellError(".read is nested more than 16 deep");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ShellError("cannot open " + file + ": " + std::strerror(errno));
  ++readDepth_;
  struct Depth {
    int& d;
    ~Depth() { --d; }
  } depth{readDepth_};
  if (!RunStream(in, Source{file, true}) && bailed_) throw ShellError("stopped at an error in " + file);
}

void Shell::CmdOutput(const std::string& file, bool once) {
  file_.reset();
  onceUnits_ = 0;
  if (file.empty()) return;
  auto stream = std::make_unique<std::ofstream>(file, std::ios::binary | std::ios::trunc);
  if (!*stream) throw ShellError("cannot write " + file + ": " + std::strerror(errno));
  file_ = std::move(stream);
  // The .once command itself is one unit; the output stays redirected for the unit after it.
  if (once) onceUnits_ = 2;
}

void Shell::CmdStorage() {
  Database();
  // The open database holds its file exclusively; it lets go for the listing and opens again.
  const std::string file = fileName_;
  CloseDatabase();
  std::string failure;
  try {
    std::shared_ptr<zycfb::Storage> root;
    const zycfb::Result r =
        zycfb::OpenDocfile(file, zycfb::STGM_READ | zycfb::STGM_SHARE_DENY_WRITE, &root);
    if (zycfb::Failed(r)) throw ShellError("cannot open " + file + ": " + ResultText(r));
    ListStorage(Out(), *root, 0);
  } catch (const std::exception& e) {
    failure = DescribeException(e);
  }
  try {
    OpenDatabase(file, false);
  } catch (const std::exception& e) {
    throw ShellError("the database could not be opened again after the listing: " +
                     DescribeException(e));
  }
  if (!failure.empty()) throw ShellError(failure);
}

void Shell::CmdBinary(const std::string& line) {
  std::string sql;
  const std::vector<std::string> head = CommandWords(line, 2, &sql);
  if (head.size() < 2 || zyfw::Trim(sql).empty())
    throw ShellError("usage: .binary FILE SELECT ...");
  std::vector<ParamSlot> slots;
  TZyDatabaseQuery query(&Database());
  query.SQLGet().TextSet(sql);
  query.Prepare();
  BindParams(query, slots);
  query.Open();
  if (!query.ActiveGet()) throw ShellError(".binary needs a SELECT");
  if (!query.First()) throw ShellError("the query found no row; nothing was written");
  TZyDatabaseField* field = query.FieldsGet().Get(0);
  if (field->IsNullGet()) throw ShellError("the value is NULL; nothing was written");
  std::string bytes;
  if (field->ColumnTypeGet() == zydBinary) {
    zyfw::TStream* stream = field->AsBinary();
    char buffer[65536];
    for (int32_t got; stream && (got = stream->Read(buffer, sizeof buffer)) > 0;)
      bytes.append(buffer, static_cast<size_t>(got));
    field->CloseBinary();
  } else {
    bytes = FieldCell(*field).text;
  }
  std::ofstream out(head[1], std::ios::binary | std::ios::trunc);
  if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush())
    throw ShellError("cannot write " + head[1] + ": " + std::strerror(errno));
  Out() << bytes.size() << " bytes written to " << head[1] << '\n';
}

void Shell::CmdImport(const std::vector<std::string>& words) {
  Need(words, 3, 3, ".import FILE TABLE");
  const std::string& file = words[1];
  TZyDatabaseTable* table = FindTable(words[2]);
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ShellError("cannot open " + file + ": " + std::strerror(errno));
  CsvReader reader(in);
  std::vector<CsvField> record;
  bool have = reader.Next(&record);

  // A first record whose every field names a different column of the table is a header, and
  // chooses the columns and their order; otherwise records hold every column in table order.
  TZyDatabaseColumnList* columnList = table->ColumnsGet();
  std::vector<TZyDatabaseColumn*> columns;
  if (have) {
    for (const CsvField& f : record) {
      const int32_t i = columnList->FindIndex(zyfw::Trim(f.text));
      TZyDatabaseColumn* c = i < 0 ? nullptr : columnList->Get(i);
      if (!c || std::find(columns.begin(), columns.end(), c) != columns.end()) {
        columns.clear();
        break;
      }
      columns.push_back(c);
    }
    if (!columns.empty()) have = reader.Next(&record);
  }
  if (columns.empty())
    for (int32_t i = 0; i < columnList->CountGet(); ++i) columns.push_back(columnList->Get(i));

  uint64_t inserted = 0;
  auto fail = [&](const std::string& reason) {
    throw ShellError(file + " line " + std::to_string(reader.RecordLine()) + ": " + reason + " (" +
                     std::to_string(inserted) + (inserted == 1 ? " row" : " rows") +
                     " inserted before it)");
  };
  if (have || !reader.Error().empty()) {
    std::string names, values;
    for (size_t i = 0; i < columns.size(); ++i) {
      names += (i ? ", " : "") + columns[i]->NameGet();
      values += (i ? ", :P" : ":P") + std::to_string(i + 1);
    }
    // One statement, prepared once; each row only changes its parameters.
    std::vector<ParamSlot> slots(columns.size());
    TZyDatabaseQuery query(&Database());
    query.SQLGet().TextSet("INSERT INTO " + table->NameGet() + " (" + names + ") VALUES (" +
                           values + ")");
    query.Prepare();
    std::vector<TZyDatabaseParam*> params;
    for (size_t i = 0; i < columns.size(); ++i)
      params.push_back(query.ParamByName("P" + std::to_string(i + 1)));
    ParamValue value;
    while (have) {
      CheckInterrupt();
      if (record.size() != columns.size())
        fail("expected " + std::to_string(columns.size()) + " fields, found " +
             std::to_string(record.size()));
      try {
        for (size_t i = 0; i < columns.size(); ++i) {
          CsvField& f = record[i];
          const TZyDatabaseColumnTypes type = columns[i]->TypeGet();
          const bool raw = type == zydBinary || type == zydByte;
          value.data = std::move(f.text);
          if (!f.quoted && value.data.empty())
            value.form = ParamValue::Null;
          else if (value.data.empty())
            value.form = raw ? ParamValue::Bytes : ParamValue::Text;
          else
            value.form = ParamValue::Plain;
          ApplyParam(*params[i], value, slots[i]);
        }
        query.ExecSQL();
      } catch (const std::exception& e) {
        fail(DescribeException(e));
      }
      ++inserted;
      have = reader.Next(&record);
    }
  }
  if (!reader.Error().empty()) fail(reader.Error());
  Out() << inserted << (inserted == 1 ? " row" : " rows") << " inserted into "
        << table->NameGet() << '\n';
}

void Shell::CmdHelp() { Out() << kHelp; }

}  // namespace zydb
