// bench-prepare: what preparing a statement costs, against SQLite's sqlite3_prepare_v2 on an
// equivalent table. Two typical statements: the catalogue's column INSERT with three parameters,
// and a SELECT whose WHERE clause holds three comparisons. One preparation is, on our side, giving
// the query its text and preparing it (lexer, syntax check, parser, validation against the
// catalogue); on SQLite's side sqlite3_prepare_v2 followed by sqlite3_finalize. Each statement
// runs on both sides back to back, the first side alternating from run to run; the best of the
// runs is kept, in CPU time (user + system) per preparation. Prints both and their ratio.
//
//   bench-prepare [--count N] [--repeat K] [--only S] [--dir DIR]   (defaults: 100000, best of 5)
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "engine/foundation/ZyException.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/table/ZyDatabaseMain.h"

namespace {

struct Options {
  long count = 100000;
  int repeat = 5;
  int only = 0;  // 1-based statement number; 0 runs them all
  std::string dir;
};

const char kUsage[] =
    "usage: bench-prepare [--count N] [--repeat K] [--only S] [--dir DIR]\n"
    "  defaults: 100000 preparations per statement and side, best of 5 runs;\n"
    "  --only S runs statement S (1 or 2) alone, e.g. under a profiler;\n"
    "  temporary files go to DIR, else $TMPDIR, else /tmp.\n";

struct Statement {
  const char* what;
  const char* ours;
  const char* sqlite;
};

// The same texts on both sides, but for the spelling of SQLite's parameters (":Name" in both) and
// of the line breaks, which SQLite reads as blanks as well.
const Statement kStatements[] = {
    {"INSERT, 3 parameters",
     "INSERT INTO SYS_OBJECTS\r\n(PARENT_ID, TYPE, NAME) VALUES (:ParentID, :Type, :Name)",
     "INSERT INTO SYS_OBJECTS\r\n(PARENT_ID, TYPE, NAME) VALUES (:ParentID, :Type, :Name)"},
    {"SELECT, 3 comparisons",
     "SELECT ID, PARENT_ID, NAME FROM SYS_OBJECTS\r\n"
     "WHERE TYPE = 'TableColumn' AND PARENT_ID = :ParentID AND NAME <> 'ID'",
     "SELECT ID, PARENT_ID, NAME FROM SYS_OBJECTS\r\n"
     "WHERE TYPE = 'TableColumn' AND PARENT_ID = :ParentID AND NAME <> 'ID'"},
};

// SYS_OBJECTS as our catalogue defines it.
const char kSqliteSchema[] =
    "CREATE TABLE SYS_OBJECTS (ID INTEGER PRIMARY KEY AUTOINCREMENT, PARENT_ID INTEGER, "
    "TYPE VARCHAR(40) NOT NULL, NAME VARCHAR(50) NOT NULL)";

[[noreturn]] void Die(const std::string& text) {
  std::fprintf(stderr, "bench-prepare: %s\n", text.c_str());
  std::exit(1);
}

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Timed(long count, const std::function<void()>& prepare) {
  const double start = CpuSeconds();
  for (long i = 0; i < count; ++i) prepare();
  return CpuSeconds() - start;
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) Die(std::string("missing value after ") + arg + "\n" + kUsage);
    const char* value = argv[++i];
    if (arg == "--count")
      o.count = std::atol(value);
    else if (arg == "--repeat")
      o.repeat = std::atoi(value);
    else if (arg == "--only")
      o.only = std::atoi(value);
    else if (arg == "--dir")
      o.dir = value;
    else
      Die("unknown option " + arg + "\n" + kUsage);
  }
  if (o.count <= 0 || o.repeat <= 0) Die(kUsage);
  if (o.dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    o.dir = tmp ? tmp : "/tmp";
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  const std::string base = o.dir + "/zybench_prepare_" + std::to_string(getpid());

  TZyDatabase db;
  db.FileName = base + ".zyd";
  sqlite3* lite = nullptr;
  try {
    db.Open(zydDatabaseCreate);
  } catch (const std::exception& e) {
    Die(std::string("cannot create the database: ") + e.what());
  }
  if (sqlite3_open((base + ".sqlite").c_str(), &lite) != SQLITE_OK ||
      sqlite3_exec(lite, kSqliteSchema, nullptr, nullptr, nullptr) != SQLITE_OK)
    Die(std::string("cannot set up SQLite: ") + sqlite3_errmsg(lite));

  std::printf("%ld preparations per statement and side, best of %d runs, CPU time\n\n", o.count,
              o.repeat);
  std::printf("%-24s %14s %14s %8s\n", "statement", "ZyDatabase", "SQLite", "ratio");
  int status = 0;
  int number = 0;
  for (const Statement& s : kStatements) {
    if (o.only != 0 && ++number != o.only) continue;
    TZyDatabaseQuery query(&db);
    auto ours = [&] {
      query.SQLGet().TextSet(s.ours);
      query.Prepare();
    };
    auto theirs = [&] {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(lite, s.sqlite, -1, &statement, nullptr) != SQLITE_OK)
        Die(std::string("SQLite refused the statement: ") + sqlite3_errmsg(lite));
      sqlite3_finalize(statement);
    };
    try {
      ours();  // refused statements end the run before anything is timed
      theirs();
      double best[2] = {1e30, 1e30};
      for (int run = 0; run < o.repeat; ++run) {
        const bool oursFirst = run % 2 == 0;
        const double a = Timed(o.count, oursFirst ? std::function<void()>(ours) : theirs);
        const double b = Timed(o.count, oursFirst ? std::function<void()>(theirs) : ours);
        best[0] = std::min(best[0], oursFirst ? a : b);
        best[1] = std::min(best[1], oursFirst ? b : a);
      }
      const double perOurs = best[0] / double(o.count) * 1e6;
      const double perTheirs = best[1] / double(o.count) * 1e6;
      std::printf("%-24s %11.2f us %11.2f us %8.2f\n", s.what, perOurs, perTheirs,
                  perOurs / perTheirs);
    } catch (const EZyException& e) {
      std::fprintf(stderr, "bench-prepare: %s\n", e.what());
      status = 1;
    }
  }
  std::printf("\ngoal: ratio <= 1.0\n");
  sqlite3_close(lite);
  db.Close();
  std::remove((base + ".zyd").c_str());
  std::remove((base + ".sqlite").c_str());
  return status;
}
