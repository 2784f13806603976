// A writer killed at random instants. A child process runs a stream of inserts (with and without
// Text and Binary values), updates, deletes and table creations, and reports each finished
// operation over a pipe; the parent kills it with SIGKILL at a random moment, then opens the file
// and checks it against a model of every reported operation: the file opens, every reported row
// is there with its values, and no row holds a byte that was never written. Only the operation
// under way at the kill may show either its old or its new state (a Text or Binary value that it
// was rewriting may also show a part of the new value). The next round continues on the same
// file, so each round also starts from what the last kill left.
//
// The CI form runs 20 kills. A long run: ZY_KILLS=200 (any number) and, to repeat a run,
// ZY_KILL_SEED=<seed printed by a failing run>, e.g.
//   ZY_KILLS=200 build/bin/test_reliability --gtest_filter='KilledWriter*'
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/storage/ZyVirtualFile.h"
#include "platform/framework/Currency.h"
#include "platform/framework/Stream.h"
#include "tests/reliability/ReliabilityUtil.h"

namespace {

using namespace zyrel;

// The writer works through the table's row operations, or through SQL statements run by the
// query object (set per test; the forked writer inherits it).
bool gSql = false;

// ---- the model ------------------------------------------------------------------------------

struct Value {
  bool null = true;
  std::string data;  // the column's data bytes (Byte: plus the tag), or a Text/Binary value
};
struct Row {
  bool deleted = false;
  std::vector<Value> values;
};
struct Table {
  std::string name;
  std::vector<ColumnSpec> columns;  // column 0 is the auto-number ID
  std::vector<Row> rows;
  int64_t counter = 0;
};
struct Model {
  std::vector<Table> tables;
  int created = 0;
};

struct Set {
  int column;
  bool null;
  std::string input;  // the bytes handed to the table
};
struct Op {
  enum Kind { Insert, Update, Delete, Create } kind = Insert;
  int table = 0;
  uint64_t row = 0;
  std::vector<Set> sets;
  Table created;
};

uint64_t Width(const ColumnSpec& c) {
  switch (c.type) {
    case zydString:
    case zydByte: return c.size;
    default: return uint64_t(zydColumnSizeGetByType(c.type));
  }
}

bool IsStreamed(TZyDatabaseColumnTypes t) { return t == zydText || t == zydBinary; }

// The column bytes of a fresh row: zeros (a Byte column's tag too).
Value Fresh(const ColumnSpec& c) {
  Value v;
  if (!IsStreamed(c.type)) v.data.assign(Width(c) + (c.type == zydByte ? 1 : 0), '\0');
  return v;
}

void Store(const ColumnSpec& c, const Set& s, Value& v) {
  v.null = s.null;
  if (s.null) return;  // the data bytes stay as they are
  if (IsStreamed(c.type)) {
    v.data = s.input;
  } else if (c.type == zydString) {
    v.data.assign(c.size, '\0');
    v.data.replace(0, std::min<size_t>(s.input.size(), c.size),
                   s.input.substr(0, std::min<size_t>(s.input.size(), c.size)));
  } else if (c.type == zydByte) {
    // An UnsignedInt32: 4 bytes; the row operation keeps the rest as it was, a statement's
    // parameter clears it.
    if (gSql) std::fill(v.data.begin(), v.data.end(), '\0');
    v.data.replace(0, 4, s.input);
    v.data[c.size] = char(zydUnsignedInt32);
  } else {
    v.data = s.input;
  }
}

void Apply(Model& m, const Op& op) {
  switch (op.kind) {
    case Op::Create:
      m.tables.push_back(op.created);
      ++m.created;
      break;
    case Op::Insert: {
      Table& t = m.tables[op.table];
      Row row;
      for (const ColumnSpec& c : t.columns) row.values.push_back(Fresh(c));
      ++t.counter;
      row.values[0].null = false;
      row.values[0].data.assign(reinterpret_cast<const char*>(&t.counter), 8);
      for (const Set& s : op.sets) Store(t.columns[s.column], s, row.values[s.column]);
      t.rows.push_back(row);
      break;
    }
    case Op::Update: {
      Table& t = m.tables[op.table];
      for (const Set& s : op.sets) Store(t.columns[s.column], s, t.rows[op.row - 1].values[s.column]);
      break;
    }
    case Op::Delete:
      m.tables[op.table].rows[op.row - 1].deleted = true;
      break;
  }
}

// ---- the workload ---------------------------------------------------------------------------

template <typename T>
T Load(const char* bytes) {
  T v;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

std::string Letters(std::mt19937& rng, size_t n) {
  std::string s(n, 'a');
  for (char& ch : s) ch = char('a' + rng() % 26);
  return s;
}

std::string RandomInput(const ColumnSpec& c, std::mt19937& rng) {
  switch (c.type) {
    case zydString: return Letters(rng, rng() % (c.size + 4));
    case zydByte: {
      const uint32_t v = rng();
      return std::string(reinterpret_cast<const char*>(&v), 4);
    }
    case zydBoolean: return std::string(1, char(rng() & 1));
    // Floats and dates as finite values, which a parameter carries without change.
    case zydFloat8:
    case zydDateTime: {
      const double v = (double(rng()) - 2147483648.0) / double(1 + rng() % 1000);
      return std::string(reinterpret_cast<const char*>(&v), 8);
    }
    case zydFloat10: {
      const long double v = (double(rng()) - 2147483648.0) / (1.0L + rng() % 1000);
      return std::string(reinterpret_cast<const char*>(&v), 10);
    }
    case zydText:
    case zydBinary: {
      // Mostly small values (mini stream), some past a sector, now and then an empty one.
      const uint32_t pick = rng() % 10;
      const size_t n = pick == 0 ? 0 : pick < 7 ? rng() % 200 : 3000 + rng() % 6000;
      if (c.type == zydText) return Letters(rng, n);
      std::string b(n, '\0');
      for (char& ch : b) ch = char(rng());
      return b;
    }
    default: {
      std::string b(Width(c), '\0');
      for (char& ch : b) ch = char(rng());
      return b;
    }
  }
}

Set RandomSet(const Table& t, int column, std::mt19937& rng) {
  const ColumnSpec& c = t.columns[column];
  const bool null = (c.flags & zydColumnNullable) && rng() % 6 == 0;
  return Set{column, null, null ? std::string() : RandomInput(c, rng)};
}

Table RandomTable(const std::string& name, std::mt19937& rng) {
  static const TZyDatabaseColumnTypes kTypes[] = {
      zydString, zydSignedInt32, zydFloat8, zydBoolean, zydCurrency, zydByte, zydText,
      zydBinary, zydUnsignedInt16, zydDateTime, zydFloat10, zydText, zydBinary};
  Table t;
  t.name = name;
  t.columns.push_back({"ID", zydSignedInt64, zydColumnAutoNumber, 0});
  const int count = 1 + int(rng() % 6);
  for (int i = 0; i < count; ++i) {
    const TZyDatabaseColumnTypes type = kTypes[rng() % (sizeof kTypes / sizeof kTypes[0])];
    const uint64_t size = type == zydString ? 1 + rng() % 40 : type == zydByte ? 4 + rng() % 8 : 0;
    // String columns must be given; every other column may be NULL.
    t.columns.push_back({"C" + std::to_string(i), type, type == zydString ? 0 : zydColumnNullable,
                         size});
  }
  return t;
}

Op Generate(const Model& m, std::mt19937& rng) {
  Op op;
  const uint32_t pick = rng() % 100;
  if (m.tables.empty() || (pick < 8 && m.tables.size() < 40)) {
    op.kind = Op::Create;
    op.created = RandomTable("W" + std::to_string(m.created), rng);
    return op;
  }
  op.table = int(rng() % m.tables.size());
  const Table& t = m.tables[op.table];
  if (pick >= 60 && !t.rows.empty()) {
    // A live row, searched from a random start.
    const size_t start = rng() % t.rows.size();
    for (size_t i = 0; i < t.rows.size(); ++i) {
      const size_t r = (start + i) % t.rows.size();
      if (!t.rows[r].deleted) {
        op.row = r + 1;
        break;
      }
    }
  }
  if (op.row == 0) {
    op.kind = Op::Insert;
    for (int c = 1; c < int(t.columns.size()); ++c) {
      // A nullable column is left out now and then: it becomes NULL at the end.
      if ((t.columns[c].flags & zydColumnNullable) && rng() % 5 == 0) continue;
      op.sets.push_back(RandomSet(t, c, rng));
    }
    return op;
  }
  if (pick >= 90) {
    op.kind = Op::Delete;
    return op;
  }
  op.kind = Op::Update;
  const int changes = 1 + int(rng() % 3);
  for (int i = 0; i < changes && t.columns.size() > 1; ++i) {
    Set set = RandomSet(t, 1 + int(rng() % (t.columns.size() - 1)), rng);
    // A statement names a column once; the row operations take a column twice.
    bool twice = false;
    for (const Set& other : op.sets) twice = twice || other.column == set.column;
    if (!(gSql && twice)) op.sets.push_back(set);
  }
  return op;
}

// The same operation as a statement with one parameter per value.
void ExecuteSql(TZyDatabase& db, const Model& m, const Op& op) {
  TZyDatabaseQuery q(&db);
  if (op.kind == Op::Create) {
    std::string sql = "CREATE TABLE " + op.created.name + " (";
    for (size_t c = 0; c < op.created.columns.size(); ++c) {
      const ColumnSpec& col = op.created.columns[c];
      sql += (c ? ", " : "") + col.name + " " + zydColumnTypeGetName(col.type);
      if (col.type == zydString || col.type == zydByte) sql += "(" + std::to_string(col.size) + ")";
      if (col.flags & zydColumnNullable) sql += " NULL";
      if (col.flags & zydColumnAutoNumber) sql += " AutoNumber";
    }
    q.SQLGet().TextSet(sql + ")");
    q.ExecSQL();
    return;
  }
  const Table& t = m.tables[op.table];
  const std::string where = " WHERE SYS_ROWID = " + std::to_string(op.row);
  std::string sql;
  if (op.kind == Op::Delete) {
    sql = "DELETE FROM " + t.name + where;
  } else if (op.kind == Op::Insert) {
    std::string names, values;
    for (size_t i = 0; i < op.sets.size(); ++i) {
      names += (i ? ", " : "") + t.columns[op.sets[i].column].name;
      values += (i ? ", :p" : ":p") + std::to_string(i);
    }
    // Every column left out: one of them (all nullable then) is named with a NULL parameter.
    sql = "INSERT INTO " + t.name + " (" + (op.sets.empty() ? t.columns[1].name : names) +
          ") VALUES (" + (op.sets.empty() ? ":n" : values) + ")";
  } else {
    sql = "UPDATE " + t.name + " SET ";
    for (size_t i = 0; i < op.sets.size(); ++i)
      sql += (i ? ", " : "") + t.columns[op.sets[i].column].name + " = :p" + std::to_string(i);
    sql += where;
  }
  q.SQLGet().TextSet(sql);
  if (op.kind == Op::Insert && op.sets.empty()) q.ParamByName("n")->NullSet(true);
  std::vector<std::unique_ptr<zyfw::TMemoryStream>> streams;  // alive until the statement ran
  for (size_t i = 0; i < op.sets.size(); ++i) {
    const Set& s = op.sets[i];
    TZyDatabaseParam* p = q.ParamByName("p" + std::to_string(i));
    if (s.null) {
      p->NullSet(true);
      continue;
    }
    const char* in = s.input.data();
    switch (t.columns[s.column].type) {
      case zydString: p->StringSet(s.input); break;
      case zydByte: p->UnsignedInt32Set(Load<uint32_t>(in)); break;
      case zydSignedInt32: p->SignedInt32Set(Load<int32_t>(in)); break;
      case zydUnsignedInt16: p->UnsignedInt16Set(Load<uint16_t>(in)); break;
      case zydFloat8: p->Float8Set(Load<double>(in)); break;
      case zydFloat10: {
        long double v = 0;
        std::memcpy(&v, in, 10);
        p->Float10Set(v);
        break;
      }
      case zydBoolean: p->BooleanSet(in[0] != 0); break;
      case zydCurrency: p->CurrencySet(zyfw::Currency::FromRaw(Load<int64_t>(in))); break;
      case zydDateTime: p->DateTimeSet(Load<double>(in)); break;
      case zydText: p->TextSet(s.input); break;
      case zydBinary:
        streams.push_back(std::make_unique<zyfw::TMemoryStream>());
        streams.back()->Bytes().assign(s.input.begin(), s.input.end());
        p->BinarySet(*streams.back());
        break;
      default: FAIL() << "no parameter for this type";
    }
  }
  q.ExecSQL();
}

void Execute(TZyDatabase& db, const Model& m, const Op& op) {
  if (gSql) {
    ExecuteSql(db, m, op);
    return;
  }
  if (op.kind == Op::Create) {
    CreateTable(db, op.created.name, op.created.columns);
    return;
  }
  const Table& t = m.tables[op.table];
  TZyDatabaseTable* table = FindTable(db, t.name);
  if (op.kind == Op::Delete) {
    table->RowDelete(op.row);
    return;
  }
  if (op.kind == Op::Insert)
    table->RowAddBegin();
  else
    table->RowUpdateBegin(op.row);
  for (const Set& s : op.sets) {
    const ColumnSpec& c = t.columns[s.column];
    if (s.null) {
      table->RowAddField(c.name, nullptr, c.type, 0);
    } else if (c.type == zydBinary) {
      zyfw::TMemoryStream stream;
      stream.Bytes().assign(s.input.begin(), s.input.end());
      table->RowAddField(c.name, &stream, zydBinary, -1);
    } else if (c.type == zydByte) {
      table->RowAddField(c.name, s.input.data(), zydUnsignedInt32, 4);
    } else {
      table->RowAddField(c.name, s.input.c_str(), c.type, int32_t(s.input.size()));
    }
  }
  table->RowUpdateEnd(op.kind == Op::Insert);
}

// The child: opens the database, then runs the workload for ever, reporting each finished
// operation by its number.
[[noreturn]] void Writer(const std::string& path, Model m, uint32_t seed, int out) {
  std::mt19937 rng(seed);
  try {
    TZyDatabase db;
    db.FileName = path;
    db.Open(0);
    for (uint32_t i = 0;; ++i) {
      const Op op = Generate(m, rng);
      Execute(db, m, op);
      Apply(m, op);
      if (write(out, &i, sizeof i) != sizeof i) _exit(3);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "writer failed: %s\n", e.what());
    _exit(2);
  }
}

// ---- reading back -----------------------------------------------------------------------------

Value Read(TZyDatabaseTable* table, uint64_t row, const ColumnSpec& c) {
  TZyDatabaseColumn* column = table->ColumnsGet()->Find(c.name);
  std::vector<uint8_t> buffer(column->SizeGet() + 2, 0);
  bool isNull = false;
  TZyDatabaseColumnTypes type;
  table->FieldGetData(row, c.name, buffer.data(), &isNull, &type);
  Value v;
  v.null = isNull;
  if (!IsStreamed(c.type)) {
    v.data.assign(reinterpret_cast<const char*>(buffer.data()), column->SizeGet());
    if (c.type == zydByte) v.data += char(type);
  } else if (!isNull) {
    uint64_t key;
    std::memcpy(&key, buffer.data(), 8);
    if (c.type == zydText) {
      v.data = table->FieldGetString(column, key);
    } else {
      std::unique_ptr<TZyVirtualFile> file = table->FieldGetFile(key);
      char chunk[8192];
      for (int32_t n; (n = file->Read(chunk, sizeof chunk)) > 0;) v.data.append(chunk, size_t(n));
    }
  }
  return v;
}

bool Same(const Value& a, const Value& b) {
  if (a.null != b.null) return false;
  // A NULL fixed-size value keeps its bytes, which nobody reads; a NULL stream value has none.
  return a.null ? true : a.data == b.data;
}

// Every byte of a fixed-size value as it was or as the update leaves it (the row is written
// once, at the end). A value stream is rewritten in place by each value given to its column, so
// it may also hold any part of any of those values.
bool Between(const Value& seen, const Value& before, const Value& after,
             const std::vector<const Set*>& sets, bool streamed) {
  if (seen.null != before.null && seen.null != after.null) return false;
  if (streamed) {
    if (seen.null || seen.data == before.data) return true;
    for (const Set* s : sets)
      if (!s->null && s->input.compare(0, seen.data.size(), seen.data) == 0) return true;
    return false;
  }
  if (seen.data.size() != before.data.size()) return false;
  for (size_t i = 0; i < seen.data.size(); ++i)
    if (seen.data[i] != before.data[i] && seen.data[i] != after.data[i]) return false;
  return true;
}

std::string Show(const Value& v) {
  std::string s = v.null ? "NULL[" : "[";
  char hex[4];
  for (size_t i = 0; i < v.data.size() && i < 24; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", uint8_t(v.data[i]));
    s += hex;
  }
  return s + (v.data.size() > 24 ? "...](" : "](") + std::to_string(v.data.size()) + ")";
}

std::string Describe(const Op& op, const Model& m) {
  static const char* kinds[] = {"insert into", "update of", "delete of", "create"};
  std::string s = kinds[op.kind];
  s += " " + (op.kind == Op::Create ? op.created.name : m.tables[op.table].name);
  if (op.row) s += " row " + std::to_string(op.row);
  return s;
}

// Checks the file against the model of the finished operations; `pending` is the operation
// that may have been under way. Brings the model up to what the file shows.
void Verify(const std::string& path, Model& m, const Op* pending) {
  TZyDatabase db;
  db.FileName = path;
  ASSERT_NO_THROW(db.Open(0)) << "the file does not open";
  TZyDatabaseTableList* list = db.SysTables(zydSysKey);
  // System tables first, then every table the model has, in order, then at most the pending one.
  size_t expected = 3 + m.tables.size();
  if (pending && pending->kind == Op::Create && size_t(list->CountGet()) == expected + 1) {
    TZyDatabaseTable* t = list->Get(int32_t(expected));
    ASSERT_EQ(t->NameGet(), pending->created.name);
    Apply(m, *pending);
    ++expected;
  }
  ASSERT_EQ(size_t(list->CountGet()), expected) << "tables that nobody created";
  for (size_t ti = 0; ti < m.tables.size(); ++ti) {
    Table& t = m.tables[ti];
    SCOPED_TRACE("table " + t.name);
    TZyDatabaseTable* table = list->Get(int32_t(3 + ti));
    ASSERT_EQ(table->NameGet(), t.name);
    TZyDatabaseColumnList* columns = table->ColumnsGet();
    ASSERT_EQ(size_t(columns->CountGet()), t.columns.size());
    for (size_t c = 0; c < t.columns.size(); ++c) {
      EXPECT_EQ(columns->Get(int32_t(c))->NameGet(), t.columns[c].name);
      EXPECT_EQ(columns->Get(int32_t(c))->TypeGet(), t.columns[c].type);
      EXPECT_EQ(Width(t.columns[c]), columns->Get(int32_t(c))->SizeGet());
      EXPECT_EQ(columns->Get(int32_t(c))->FlagsGet() & 3, t.columns[c].flags);
    }
    const bool mine = pending && pending->kind != Op::Create && pending->table == int(ti);
    const uint64_t rows = table->RowCountGet();
    if (mine && pending->kind == Op::Insert && rows == t.rows.size() + 1) {
      Model probe = m;  // the pending insert finished: its row must be exactly the one planned
      probe.tables[ti].counter = t.counter;
      Apply(probe, *pending);
      const Row& planned = probe.tables[ti].rows.back();
      EXPECT_TRUE(table->RowGet(rows)) << "the pending insert's row reads as deleted";
      for (size_t c = 0; c < t.columns.size(); ++c)
        EXPECT_TRUE(Same(Read(table, rows, t.columns[c]), planned.values[c]))
            << "the pending insert's row differs in " << t.columns[c].name;
      t = probe.tables[ti];
    }
    ASSERT_EQ(rows, t.rows.size()) << "rows that nobody added, or reported rows missing";
    for (uint64_t r = 1; r <= rows; ++r) {
      Row& want = t.rows[r - 1];
      const bool live = table->RowGet(r);
      const bool touched = mine && pending->row == r;
      if (touched && pending->kind == Op::Delete) {
        want.deleted = !live;  // either state is sound
      }
      ASSERT_EQ(live, !want.deleted) << "row " << r;
      if (!live) continue;
      for (size_t c = 0; c < t.columns.size(); ++c) {
        const Value seen = Read(table, r, t.columns[c]);
        std::vector<const Set*> sets;  // a column may be given more than one value
        if (touched && pending->kind == Op::Update)
          for (const Set& s : pending->sets)
            if (s.column == int(c)) sets.push_back(&s);
        if (sets.empty()) {
          EXPECT_TRUE(Same(seen, want.values[c]))
              << "row " << r << " column " << t.columns[c].name << " holds unwritten bytes";
          continue;
        }
        Value after = want.values[c];
        for (const Set* set : sets) Store(t.columns[c], *set, after);
        EXPECT_TRUE(Between(seen, want.values[c], after, sets, IsStreamed(t.columns[c].type)))
            << "row " << r << " column " << t.columns[c].name << " ("
            << zydColumnTypeGetName(t.columns[c].type) << ") is neither old nor new: seen "
            << Show(seen) << ", old " << Show(want.values[c]) << ", new " << Show(after);
        want.values[c] = seen;  // continue from what the file holds
      }
    }
    // A killed insert may have used up a number: go on from the counter in the file.
    int64_t counter;
    std::memcpy(&counter, table->CountersGet() + columns->Get(0)->OffsetGet() + 1, 8);
    EXPECT_GE(counter, t.counter);
    t.counter = counter;
  }
}

void KilledWriterRun(bool sql) {
  gSql = sql;
  const char* env = std::getenv("ZY_KILLS");
  const int kills = env ? std::atoi(env) : 20;
  const char* seedEnv = std::getenv("ZY_KILL_SEED");
  const uint32_t seed = seedEnv ? uint32_t(std::strtoul(seedEnv, nullptr, 10))
                                : uint32_t(std::random_device()());
  std::printf("killed writer: %d kills, ZY_KILL_SEED=%u\n", kills, seed);
  SCOPED_TRACE("ZY_KILL_SEED=" + std::to_string(seed));
  std::mt19937 rng(seed);
  const std::string path = TempPath("killed.zyd");
  {
    TZyDatabase db;
    db.FileName = path;
    db.FileVersion = (seed & 1) ? 3 : 4;
    db.Open(zydDatabaseCreate);
  }
  Model model;
  int survived = 0;
  uint64_t operations = 0;
  for (int round = 0; round < kills; ++round) {
    SCOPED_TRACE("kill " + std::to_string(round));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const uint32_t roundSeed = rng();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      Writer(path, model, roundSeed, fds[1]);
    }
    close(fds[1]);
    // Some kills land while the file is being opened, most in the middle of the work.
    const int delayUs = rng() % 8 == 0 ? int(rng() % 3000) : int(rng() % 120000);
    uint32_t done = 0;  // operations reported
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(delayUs);
    bool exited = false;
    auto drain = [&](int timeoutMs) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) return false;
      uint32_t batch[1024];
      const ssize_t n = read(fds[0], batch, sizeof batch);
      if (n <= 0) return false;
      done = batch[size_t(n) / 4 - 1] + 1;
      return true;
    };
    while (std::chrono::steady_clock::now() < deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (!drain(int(left.count())) && left.count() <= 0) break;
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    exited = !(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    while (drain(0)) {
    }
    close(fds[0]);
    ASSERT_FALSE(exited) << "the writer stopped by itself, status " << status;

    // Replay what was reported, then check the file against it.
    std::mt19937 replay(roundSeed);
    for (uint32_t i = 0; i < done; ++i) Apply(model, Generate(model, replay));
    const Op pending = Generate(model, replay);
    SCOPED_TRACE(std::to_string(done) + " operations reported; pending: " + Describe(pending, model));
    Verify(path, model, &pending);
    if (::testing::Test::HasFailure()) break;
    ++survived;
    operations += done;
  }
  std::printf("killed writer: %d of %d kills survived, %llu operations reported, %zu tables\n",
              survived, kills, static_cast<unsigned long long>(operations), model.tables.size());
  std::remove(path.c_str());
}

TEST(KilledWriter, EveryReportedRowOperationSurvivesAKill) { KilledWriterRun(false); }
TEST(KilledWriter, EveryReportedStatementSurvivesAKill) { KilledWriterRun(true); }

}  // namespace

namespace {

// A creation cut short, made by hand: the table's header blanked again as it is until the
// catalogue rows are all in, and the rows written last removed as if they never were.
class CutShortTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = TempPath("cut_short.zyd"); }
  void TearDown() override { std::remove(path_.c_str()); }
  void CutShort(const std::string& name, int propertiesLost) {
    TZyDatabase db;
    db.FileName = path_;
    db.Open(0);
    TZyDatabaseTable* table = FindTable(db, name);
    const uint8_t blank[zydTableHeaderSize] = {};
    table->StreamGet()->PositionSet(0);
    table->StreamGet()->WriteBuffer(blank, zydTableHeaderSize);
    TZyDatabaseTable* properties = FindTable(db, "SYS_PROPERTIES");
    db.SysAllowUpdatesSet(zydSysKey, true);
    for (int i = 0; i < propertiesLost; ++i)
      properties->RowDelete(properties->RowCountGet() - uint64_t(i));
  }
  std::string path_;
};

TEST_F(CutShortTest, TheNextOpenTakesBackTheLastCreationAndTheNameCanBeUsedAgain) {
  const std::vector<ColumnSpec> first = {{"A", zydString, 0, 12}, {"B", zydText, 1, 0}};
  const std::vector<ColumnSpec> second = {{"X", zydSignedInt32, 0, 0}};
  {
    TZyDatabase db;
    db.FileName = path_;
    db.Open(zydDatabaseCreate);
    CreateTable(db, "KEPT", second);
    CreateTable(db, "HALF", first);
  }
  CutShort("HALF", 2);
  for (int open = 0; open < 2; ++open) {  // taking back is done once, and holds
    TZyDatabase db;
    db.FileName = path_;
    ASSERT_NO_THROW(db.Open(0));
    EXPECT_EQ(db.SysTables(zydSysKey)->CountGet(), 4);
    EXPECT_NE(FindTable(db, "KEPT"), nullptr);
    EXPECT_EQ(FindTable(db, "HALF"), nullptr);
    // No live catalogue row names the table or its columns any more.
    TZyDatabaseTable* objects = FindTable(db, "SYS_OBJECTS");
    char name[64];
    bool isNull;
    TZyDatabaseColumnTypes type;
    int live = 0;
    for (uint64_t r = 1; r <= objects->RowCountGet(); ++r)
      if (objects->RowGet(r)) {
        objects->FieldGetData(r, "NAME", name, &isNull, &type);
        EXPECT_NE(std::string(name), "HALF");
        ++live;
      }
    EXPECT_EQ(live, 2);  // KEPT and its column
  }
  {
    TZyDatabase db;
    db.FileName = path_;
    db.Open(0);
    TZyDatabaseTable* again = CreateTable(db, "HALF", second);
    const int32_t x = 7;
    again->RowAddBegin();
    again->RowAddField("X", &x, zydSignedInt32, 4);
    again->RowAddEnd();
  }
  TZyDatabase db;
  db.FileName = path_;
  db.Open(0);
  TZyDatabaseTable* half = FindTable(db, "HALF");
  ASSERT_NE(half, nullptr);
  ASSERT_EQ(half->ColumnsGet()->CountGet(), 1);
  EXPECT_EQ(half->ColumnsGet()->Get(0)->NameGet(), "X");
  EXPECT_EQ(half->RowCountGet(), 1u);
}

TEST_F(CutShortTest, ABlankHeaderBeforeTheLastTableIsDamage) {
  {
    TZyDatabase db;
    db.FileName = path_;
    db.Open(zydDatabaseCreate);
    CreateTable(db, "FIRST", {{"A", zydSignedInt64, 0, 0}});
    CreateTable(db, "LAST", {{"B", zydSignedInt64, 0, 0}});
  }
  CutShort("FIRST", 0);
  const std::vector<uint8_t> before = ReadBytes(path_);
  TZyDatabase db;
  db.FileName = path_;
  try {
    db.Open(0);
    FAIL() << "opened";
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), zydErrNotDatabase);
    EXPECT_EQ(e.TextGet(0),
              "The file is not a valid ZyDatabase database: the stream of table 'FIRST' has no header");
  }
  db.Close();
  EXPECT_EQ(ReadBytes(path_), before);
}

}  // namespace
