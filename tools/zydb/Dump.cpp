// .schema and .dump: table definitions rebuilt from the catalogue, and a script of statements
// and parameter settings that rebuilds the tables' rows exactly when the shell reads it back.
#include <cctype>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/table/ZyDatabaseMain.h"
#include "tools/zydb/Shell.h"

namespace zydb {

namespace {

std::string SchemaText(TZyDatabaseTable& table) {
  std::string text = "CREATE TABLE " + table.NameGet() + " (\n";
  TZyDatabaseColumnList* columns = table.ColumnsGet();
  for (int32_t i = 0; i < columns->CountGet(); ++i) {
    TZyDatabaseColumn* c = columns->Get(i);
    text += "  " + c->NameGet() + " " + zydColumnTypeGetName(c->TypeGet());
    if (c->TypeGet() == zydString || c->TypeGet() == zydByte)
      text += "(" + std::to_string(c->DeclaredSizeGet()) + ")";
    if (c->AutoNumberGet()) text += " AutoNumber";
    if (c->NullableGet()) text += " NULL";
    text += i + 1 < columns->CountGet() ? ",\n" : "\n";
  }
  return text + ");\n";
}

// A parameter token is a colon, a letter, then letters, digits or '_'.
std::string ParamNameFor(const std::string& column, size_t index) {
  bool ok = !column.empty() && std::isalpha(static_cast<unsigned char>(column[0]));
  for (char c : column)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') ok = false;
  return ok ? column : "P" + std::to_string(index + 1);
}

// Statements are cut into lines of about this length: the engine reads a line of at most 2047
// characters, and a break between two values changes nothing.
constexpr size_t kLineLength = 1000;

void WriteWrapped(std::ostream& out, const std::vector<std::string>& pieces) {
  std::string line;
  for (const std::string& piece : pieces) {
    if (!line.empty() && line.size() + piece.size() > kLineLength) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out << line << '\n';
      line.clear();
    }
    line += piece;
  }
  out << line << '\n';
}

}  // namespace

void Shell::CmdSchema(const std::string& name) {
  if (!name.empty()) {
    Out() << SchemaText(*FindTable(name));
    return;
  }
  TZyDatabaseTableList* tables = Database().SysTables(zydSysKey);
  for (int32_t i = 0; i < tables->CountGet(); ++i)
    if (!tables->Get(i)->SystemGet()) Out() << SchemaText(*tables->Get(i));
}

void Shell::CmdDump(const std::string& name) {
  std::vector<TZyDatabaseTable*> chosen;
  if (!name.empty()) {
    TZyDatabaseTable* table = FindTable(name);
    if (table->SystemGet())
      throw ShellError(table->NameGet() + " is a system table: the engine rebuilds it from the "
                       "CREATE TABLE statements");
    chosen.push_back(table);
  } else {
    TZyDatabaseTableList* tables = Database().SysTables(zydSysKey);
    for (int32_t i = 0; i < tables->CountGet(); ++i)
      if (!tables->Get(i)->SystemGet()) chosen.push_back(tables->Get(i));
  }
  for (TZyDatabaseTable* table : chosen) DumpTable(*table);
}

// Rows are written in table order. A row number that a deleted row took is taken again by a
// stand-in row that is deleted at once, so every row keeps its SYS_ROWID. An auto-number column
// is left out of an INSERT whenever the number the engine would assign next is the stored one
// (stand-ins take their numbers the same way, as the deleted rows most likely did): the rebuilt
// table then counts on from the same place. Other numbers are written out; a NULL in an
// auto-number column is put back by an UPDATE of the new row.
void Shell::DumpTable(TZyDatabaseTable& table) {
  std::ostream& out = Out();
  out << SchemaText(table);
  TZyDatabaseQuery query(&Database());
  query.SQLGet().TextSet("SELECT * FROM " + table.NameGet());
  query.Open();
  TZyDatabaseFields& fields = query.FieldsGet();
  const size_t n = static_cast<size_t>(fields.CountGet());
  std::vector<int64_t> counter(n, 0);
  std::vector<std::string> paramName(n);
  for (size_t i = 0; i < n; ++i) paramName[i] = ParamNameFor(fields.Get(int32_t(i))->ColumnNameGet(), i);

  bool usedParams = false;
  std::vector<std::string> names, values, sets, nullAutos;
  auto insert = [&] {
    if (names.empty()) {
      // Every value is NULL or assigned by the engine; the statement still names one column.
      names.push_back(fields.Get(0)->ColumnNameGet());
      sets.push_back(".param set " + paramName[0] + " NULL");
      values.push_back(":" + paramName[0]);
    }
    usedParams = usedParams || !sets.empty();
    for (const std::string& s : sets) out << s << '\n';
    std::vector<std::string> pieces;
    pieces.push_back("INSERT INTO " + table.NameGet() + " (");
    for (size_t i = 0; i < names.size(); ++i)
      pieces.push_back(names[i] + (i + 1 < names.size() ? ", " : ") "));
    pieces.push_back("VALUES (");
    for (size_t i = 0; i < values.size(); ++i)
      pieces.push_back(values[i] + (i + 1 < values.size() ? ", " : ");"));
    WriteWrapped(out, pieces);
  };
  auto clear = [&] {
    names.clear();
    values.clear();
    sets.clear();
    nullAutos.clear();
  };
  // A stand-in holds the plainest value of each column that must have one.
  auto standIn = [&](uint64_t row) {
    clear();
    for (size_t i = 0; i < n; ++i) {
      TZyDatabaseField* field = fields.Get(int32_t(i));
      if (field->IsAutoNumberGet()) {
        ++counter[i];
        continue;
      }
      if (field->NullableGet()) continue;
      std::string value;
      switch (field->ColumnTypeGet()) {
        case zydBoolean: value = "FALSE"; break;
        case zydDateTime: value = "'12/30/1899'"; break;
        case zydString: value = "'-'"; break;
        case zydByte: sets.push_back(".param set " + paramName[i] + " 00"); break;
        case zydText: sets.push_back(".param set " + paramName[i] + " ''"); break;
        case zydBinary: sets.push_back(".param set " + paramName[i] + " x''"); break;
        default: value = "0";
      }
      names.push_back(field->ColumnNameGet());
      values.push_back(value.empty() ? ":" + paramName[i] : value);
    }
    insert();
    out << "DELETE FROM " << table.NameGet() << " WHERE SYS_ROWID = " << row << ";\n";
  };

  uint64_t row = 0;
  while (query.Next()) {
    CheckInterrupt();
    const uint64_t live = query.SysCurrentRowNo();
    while (++row < live) standIn(row);
    clear();
    for (size_t i = 0; i < n; ++i) {
      TZyDatabaseField* field = fields.Get(int32_t(i));
      if (field->IsAutoNumberGet()) {
        if (field->IsNullGet()) {
          ++counter[i];
          nullAutos.push_back(field->ColumnNameGet());
          continue;
        }
        if (field->AsSignedInt64() == counter[i] + 1) {
          ++counter[i];
          continue;
        }
      }
      const DumpValue d = DumpOf(*field);
      if (d.null) continue;
      names.push_back(field->ColumnNameGet());
      if (d.viaParam) {
        sets.push_back(".param set " + paramName[i] + " " + d.text);
        values.push_back(":" + paramName[i]);
      } else {
        values.push_back(d.text);
      }
    }
    insert();
    for (const std::string& c : nullAutos)
      out << "UPDATE " << table.NameGet() << " SET " << c << " = NULL WHERE SYS_ROWID = " << row
          << ";\n";
  }
  // Deleted rows after the last live one count as well: the next row added gets the same number.
  const uint64_t last = table.RowCountGet();
  while (++row <= last) standIn(row);
  query.Close();
  if (usedParams) out << ".param clear\n";
}

}  // namespace zydb
