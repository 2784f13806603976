// The shell as users run it: build/bin/zydb as a process with arguments and standard input,
// checked by its standard output, standard error and exit status.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
  std::string out, err;
  int status = -1;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zydb-shell-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Runs zydb with args in the test's folder (so relative names land there), input on stdin.
  Result Zydb(const std::vector<std::string>& args, const std::string& input = "") {
    const std::string in = Path(".stdin"), out = Path(".stdout"), err = Path(".stderr");
    WriteFile(in, input);
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(126);
      int fd0 = open(in.c_str(), O_RDONLY);
      int fd1 = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int fd2 = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd0, 0);
      dup2(fd1, 1);
      dup2(fd2, 2);
      setenv("HOME", dir_.c_str(), 1);
      std::vector<char*> argv;
      std::string program = ZY_BIN_DIR "/zydb";
      argv.push_back(&program[0]);
      std::vector<std::string> copy = args;
      for (std::string& a : copy) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    Result r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
  }

  // Runs a script that must succeed with nothing on stderr but the note that the file was
  // created; returns its output.
  std::string Ok(const std::vector<std::string>& args, const std::string& input = "") {
    Result r = Zydb(args, input);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string created = " did not exist; created a new database\n";
    if (r.err.rfind("zydb: ", 0) == 0 && r.err.find(created) == r.err.size() - created.size())
      r.err.clear();
    EXPECT_EQ(r.err, "");
    return r.out;
  }

  std::string dir_;
};

TEST_F(Shell, OneShotCreatesOpensAndSaysSo) {
  Result r = Zydb({"db.zyd", "CREATE TABLE T (A SignedInt32, B String(10) NULL)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "zydb: db.zyd did not exist; created a new database\n");
  // The second run opens the file it made: no message, and the table is there.
  EXPECT_EQ(Ok({"db.zyd", "INSERT INTO T VALUES (1, 'x');"}), "");
  EXPECT_EQ(Ok({"-csv", "db.zyd", "SELECT * FROM T"}), "A,B\r\n1,x\r\n");
  // Several arguments run in order; a dot-command is an argument like any other.
  EXPECT_EQ(Ok({"-noheader", "-csv", "db.zyd", "INSERT INTO T (A) VALUES (2)", ".tables",
                "SELECT A, B FROM T WHERE A = 2"}),
            "T\n2,\r\n");
}

TEST_F(Shell, ErrorsExitStatusAndBail) {
  Ok({"db.zyd", "CREATE TABLE T (A SignedInt32)"});
  const std::string script =
      "INSERT INTO T VALUES (1);\n"
      "SELECT Z\n  FROM T;\n"
      "SELECT * FROM T;\n";
  Result r = Zydb({"-csv", "db.zyd"}, script);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error near line 2: $80000506 The field 'Z' does not exist\n");
  EXPECT_EQ(r.out, "A\r\n1\r\n");  // the script went on after the error; no prompt, no banner

  r = Zydb({"-bail", "-csv", "db.zyd"}, script);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  r = Zydb({"-csv", "db.zyd"}, ".bail on\n" + script);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error near line 3: $80000506 The field 'Z' does not exist\n");

  r = Zydb({"db.zyd", "SELECT A B FROM T"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: $80000502 Syntax Error at or about 'B' on line 1, column 12.\n");

  r = Zydb({"db.zyd", ".frobnicate"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: unknown command .frobnicate; enter .help for the list\n");

  // -v adds the chain: module, method and the details (here the statement text).
  r = Zydb({"-v", "db.zyd", "SELECT A B FROM T"});
  EXPECT_NE(r.err.find("#0 $80000502 ZyDatabase TZyDatabaseQuery.Prepare: Syntax Error"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("details: SELECT A B FROM T"), std::string::npos) << r.err;

  r = Zydb({"-nosuchoption", "db.zyd"});
  EXPECT_EQ(r.status, 2);
  r = Zydb({});
  EXPECT_EQ(r.status, 2);
}

// The terminal loop, driven through -interactive: a banner, errors without line numbers that do
// not end the session, and the statements kept in the history file.
TEST_F(Shell, InteractiveSession) {
  Result r = Zydb({"-interactive", "-csv", "db.zyd"},
                  "CREATE TABLE T\n(A SignedInt32);\nSELECT B FROM T;\nINSERT INTO T VALUES (7);\n"
                  "SELECT * FROM T;\n.quit\nSELECT * FROM T;\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "zydb 1.00.1.87 - enter .help for the commands; statements end with ';'");
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "A\r\n7\r\n");  // nothing after .quit
  EXPECT_NE(r.err.find("Error: $80000506 The field 'B' does not exist\n"), std::string::npos);
  const std::string history = ReadFile(Path(".zydb_history"));
  EXPECT_NE(history.find("INSERT"), std::string::npos) << history;
}

TEST_F(Shell, NewReplacesAndForeignFilesAreLeftAlone) {
  Ok({"db.zyd", "CREATE TABLE T (A SignedInt32)"}, "");
  EXPECT_EQ(Ok({"db.zyd", ".tables"}), "T\n");
  EXPECT_EQ(Ok({"-new", "db.zyd", ".tables"}), "");

  WriteFile(Path("notes.txt"), "not a database\n");
  Result r = Zydb({"notes.txt", ".tables"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: cannot open notes.txt: $80030050 The element already exists.\n");
  EXPECT_EQ(ReadFile(Path("notes.txt")), "not a database\n");
}

// A table with one column of each kind the modes treat differently.
const char kSmall[] =
    "CREATE TABLE T (ID SignedInt64 AutoNumber, NAME String(20) NULL, MEMO Text NULL,\n"
    "  DATA Binary NULL, OK Boolean NULL, PRICE Currency NULL);\n"
    ".param set m x'6C696E65206F6E650A6C696E652074776F'\n"
    ".param set d 00FF10\n"
    "INSERT INTO T (NAME, MEMO, DATA, OK, PRICE) VALUES ('a,b', :m, :d, TRUE, 2.5);\n"
    "INSERT INTO T (NAME) VALUES ('plain');\n";

TEST_F(Shell, OutputModes) {
  Ok({"db.zyd"}, kSmall);

  const std::string select = "SELECT * FROM T";
  EXPECT_EQ(Ok({"-csv", "db.zyd", select}),
            "ID,NAME,MEMO,DATA,OK,PRICE\r\n"
            "1,\"a,b\",\"line one\nline two\",00FF10,TRUE,2.5\r\n"
            "2,plain,,,,\r\n");
  EXPECT_EQ(Ok({"-json", "db.zyd", select}),
            "[{\"ID\":1,\"NAME\":\"a,b\",\"MEMO\":\"line one\\nline two\",\"DATA\":\"00FF10\","
            "\"OK\":true,\"PRICE\":2.5},\n"
            "{\"ID\":2,\"NAME\":\"plain\",\"MEMO\":null,\"DATA\":null,\"OK\":null,\"PRICE\":null}]\n");
  EXPECT_EQ(Ok({"-line", "db.zyd", "SELECT ID, DATA FROM T WHERE ID = 1"}), "  ID = 1\nDATA = 00FF10\n");
  EXPECT_EQ(Ok({"db.zyd"}, ".nullvalue NULL\nSELECT ID, NAME, MEMO FROM T;\n"),
            "+----+-------+--------------------+\n"
            "| ID | NAME  | MEMO               |\n"
            "+----+-------+--------------------+\n"
            "|  1 | a,b   | line one\\nline two |\n"
            "|  2 | plain | NULL               |\n"
            "+----+-------+--------------------+\n");
  EXPECT_EQ(Ok({"db.zyd"}, ".mode box\n.headers off\nSELECT ID FROM T WHERE ID = 2;\n"),
            "\u250C\u2500\u2500\u2500\u2510\n\u2502 2 \u2502\n\u2514\u2500\u2500\u2500\u2518\n");
  Result bad = Zydb({"db.zyd", ".mode list"});
  EXPECT_EQ(bad.status, 1);
}

TEST_F(Shell, ChangesTimerOutputFilesAndBinary) {
  Ok({"db.zyd"}, kSmall);
  std::string out = Ok({"db.zyd"},
                       ".changes on\nINSERT INTO T (NAME) VALUES ('c');\n"
                       "UPDATE T SET OK = FALSE WHERE ID > 1;\nDELETE FROM T WHERE SYS_ROWID = 3;\n");
  EXPECT_EQ(out, "changes: 1   auto-number: 3\nchanges: 2\nchanges: 1\n");
  out = Ok({"db.zyd"}, ".timer on\nSELECT * FROM T WHERE ID = 1;\n");
  EXPECT_NE(out.find("Run time: "), std::string::npos);
  EXPECT_NE(out.find(" s, rows: 1\n"), std::string::npos);

  out = Ok({"-csv", "-noheader", "db.zyd"},
           ".once once.csv\nSELECT ID FROM T;\nSELECT NAME FROM T WHERE ID = 1;\n"
           ".output all.csv\nSELECT ID FROM T WHERE ID = 2;\n.tables\n.output\n.tables\n");
  EXPECT_EQ(out, "\"a,b\"\r\nT\n");
  EXPECT_EQ(ReadFile(Path("once.csv")), "1\r\n2\r\n");
  EXPECT_EQ(ReadFile(Path("all.csv")), "2\r\nT\n");

  out = Ok({"db.zyd", ".binary data.bin SELECT DATA FROM T WHERE ID = 1",
            ".binary memo.txt SELECT MEMO FROM T WHERE ID = 1"});
  EXPECT_EQ(out, "3 bytes written to data.bin\n17 bytes written to memo.txt\n");
  EXPECT_EQ(ReadFile(Path("data.bin")), std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(ReadFile(Path("memo.txt")), "line one\nline two");
  Result r = Zydb({"db.zyd", ".binary x.bin SELECT DATA FROM T WHERE ID = 2"});
  EXPECT_EQ(r.err, "Error: the value is NULL; nothing was written\n");

  // A file given to .param file goes into a Binary column byte for byte.
  out = Ok({"-csv", "-noheader", "db.zyd"},
           ".param file blob data.bin\nUPDATE T SET DATA = :blob WHERE ID = 2;\n"
           "SELECT DATA FROM T WHERE ID = 2;\n");
  EXPECT_EQ(out, "00FF10\r\n");
}

TEST_F(Shell, ParameterValuesAreChecked) {
  Ok({"db.zyd", "CREATE TABLE T (I SignedInt8 NULL, S String(3) NULL, F Float4 NULL, "
                "D DateTime NULL, Y Byte(4) NULL, B Boolean NULL)"});
  struct Case {
    const char* set;     // the .param set line's value for :v
    const char* column;  // the column it goes into
    const char* result;  // csv output, or the error text
  };
  const Case cases[] = {
      {"127", "I", "127"},
      {"128", "I", "Error: parameter 'v' (SignedInt8): 128 is out of the range of SignedInt8"},
      {"12x", "I", "Error: parameter 'v' (SignedInt8): '12x' is not an integer"},
      {"abc", "S", "abc"},
      {"abcd", "S", "Error: parameter 'v' (String): the text is 4 bytes long, the column holds 3"},
      {"'a b'", "S", "a b"},
      {"0.1", "F", "0.100000001490116"},
      {"1e39", "F", "Error: parameter 'v' (Float4): 1e39 is out of the range of Float4"},
      {"2020-02-29 12:30", "D", "02/29/2020 12:30:00"},
      {"1.5", "D", "12/31/1899 12:00:00"},
      {"02/30/2020", "D",
       "Error: parameter 'v' (DateTime): '02/30/2020' is neither a date and time nor a day count"},
      {"0a0B", "Y", "0A0B"},
      {"0A0B0C0D0E", "Y", "Error: parameter 'v' (Byte): the value is 5 bytes long, the column holds 4"},
      {"SignedInt16:-2", "Y", "SignedInt16:-2"},
      {"Float8:1", "Y", "Error: parameter 'B' (Byte): ..."},
      {"yes", "B", "TRUE"},
      {"maybe", "B", "Error: parameter 'v' (Boolean): 'maybe' is not TRUE or FALSE"},
  };
  for (const Case& c : cases) {
    std::string col = c.column;
    Result r = Zydb({"-csv", "-noheader", "db.zyd", "DELETE FROM T",
                     std::string(".param set v ") + c.set,
                     "INSERT INTO T (" + col + ") VALUES (:v)", "SELECT " + col + " FROM T"});
    std::string expected = c.result;
    if (expected.rfind("Error: parameter 'B'", 0) == 0) {
      // An 8-byte value does not fit a 4-byte Byte column: the engine's own length error.
      EXPECT_NE(r.err.find("$80000801"), std::string::npos) << r.err;
      continue;
    }
    if (expected.rfind("Error:", 0) == 0) {
      EXPECT_EQ(r.status, 1) << c.set;
      EXPECT_EQ(r.err, expected + "\n") << c.set;
      EXPECT_EQ(r.out, "") << c.set;
    } else {
      EXPECT_EQ(r.status, 0) << c.set << r.err;
      EXPECT_EQ(r.out, expected + "\r\n") << c.set;
    }
  }
}

TEST_F(Shell, ParameterCommands) {
  Ok({"db.zyd", "CREATE TABLE T (S String(20) NULL, M Text NULL)"});
  struct Case {
    const char* command;
    const char* error;
  };
  const Case cases[] = {
      {".param set v 'abc", "the quoted value has no closing quote"},
      {".param set v 'a'b", "text follows the closing quote of the value"},
      {".param set v x'0G'", "x'0G' is not hexadecimal"},
      {".param set v x'ABC'", "x'ABC' is not hexadecimal"},
      {".param set 1v 5", "\"1v\" is not a parameter name"},
      {".param set v", "usage: .param set NAME VALUE"},
      {".param set v   ", "usage: .param set NAME VALUE"},
      {".param frob", "usage: .param set NAME VALUE | file NAME FILE | unset NAME | clear | list"},
      {".param file v nosuch.bin", "cannot open nosuch.bin: No such file or directory"},
  };
  for (const Case& c : cases) {
    Result r = Zydb({"db.zyd", c.command});
    EXPECT_EQ(r.status, 1) << c.command;
    EXPECT_EQ(r.err, std::string("Error: ") + c.error + "\n") << c.command;
  }
  // Values keep their case and blanks inside quotes; the name is found whatever its case.
  EXPECT_EQ(Ok({"-csv", "-noheader", "db.zyd", ".param set Vee '  It''s NULL '",
                ".param set m x'610062'", ".param list", "INSERT INTO T (S) VALUES (:vEE)",
                "SELECT S FROM T", ".param unset VEE", ".param list", ".param clear", ".param list"}),
            "M = x'610062'\nVEE = '  It''s NULL '\n  It's NULL \r\nM = x'610062'\n");
  // A Text value with a zero byte would be cut at it by the engine: refused instead.
  Result r = Zydb({"db.zyd", ".param set m x'610062'", "INSERT INTO T (M) VALUES (:m)"});
  EXPECT_EQ(r.err, "Error: parameter 'm' (Text): the text holds a zero byte\n");
  // -cmd runs before the rest; a parameter not set is NULL.
  EXPECT_EQ(Ok({"-cmd", ".mode json", "-cmd", ".param set q 'x'", "db.zyd",
                "SELECT S FROM T WHERE S = :q OR S IS NULL", "SELECT S FROM T WHERE S = :none"}),
            "[]\n[]\n");
}

TEST_F(Shell, ImportGoodFile) {
  Ok({"db.zyd", "CREATE TABLE P (ID SignedInt32 AutoNumber, NAME String(20), NOTE Text NULL, "
                "QTY UnsignedInt16 NULL)"});
  // The header picks and orders the columns; ID is left to the auto-number.
  WriteFile(Path("p.csv"),
            "QTY,name,NOTE\r\n"
            "5,apple,\"red, round\"\r\n"
            ",\"pear \"\"green\"\"\",\"two\r\nlines\"\r\n"
            "7,plum,\"\"\r\n");
  EXPECT_EQ(Ok({"db.zyd", ".import p.csv P"}), "3 rows inserted into P\n");
  EXPECT_EQ(Ok({"-json", "db.zyd", "SELECT * FROM P"}),
            "[{\"ID\":1,\"NAME\":\"apple\",\"NOTE\":\"red, round\",\"QTY\":5},\n"
            "{\"ID\":2,\"NAME\":\"pear \\\"green\\\"\",\"NOTE\":\"two\\r\\nlines\",\"QTY\":null},\n"
            "{\"ID\":3,\"NAME\":\"plum\",\"NOTE\":\"\",\"QTY\":7}]\n");
  // Without a header every column comes in table order; what csv mode writes reads back.
  const std::string csv = Ok({"-csv", "-noheader", "db.zyd", "SELECT * FROM P"});
  WriteFile(Path("again.csv"), csv);
  Ok({"db2.zyd", "CREATE TABLE P (ID SignedInt32 AutoNumber, NAME String(20), NOTE Text NULL, "
                 "QTY UnsignedInt16 NULL)"});
  Result r = Zydb({"db2.zyd", ".import again.csv P"});
  EXPECT_EQ(r.out, "3 rows inserted into P\n") << r.err;
  EXPECT_EQ(Ok({"-csv", "-noheader", "db2.zyd", "SELECT * FROM P"}), csv);
}

TEST_F(Shell, ImportStopsAtTheFirstBadRow) {
  Ok({"db.zyd", "CREATE TABLE P (NAME String(20), QTY SignedInt32)"});
  struct Case {
    const char* file;
    const char* error;
    const char* rows;  // what the table holds afterwards, csv
  };
  const Case cases[] = {
      {"a,1\n\"b\nb\",2\nc\nd,4\n",
       "Error: bad.csv line 4: expected 2 fields, found 1 (2 rows inserted before it)\n",
       "a,1\r\n\"b\nb\",2\r\n"},
      {"a,1\nb,two\n",
       "Error: bad.csv line 2: parameter 'P2' (SignedInt32): 'two' is not an integer (1 row "
       "inserted before it)\n",
       "a,1\r\n"},
      {"a,1\n,2\n",
       "Error: bad.csv line 2: $80000202 'NAME' must be specified (1 row inserted before it)\n",
       "a,1\r\n"},
      {"a,1\n\"b,2\n", "Error: bad.csv line 2: unterminated quoted field (1 row inserted before it)\n",
       "a,1\r\n"},
  };
  for (const Case& c : cases) {
    Ok({"db.zyd", "DELETE FROM P"});
    WriteFile(Path("bad.csv"), c.file);
    Result r = Zydb({"db.zyd", ".import bad.csv P"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.error);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Ok({"-csv", "-noheader", "db.zyd", "SELECT * FROM P"}), c.rows) << c.error;
  }
  Result r = Zydb({"db.zyd", ".import missing.csv P"});
  EXPECT_EQ(r.status, 1);
  r = Zydb({"db.zyd", ".import bad.csv NOSUCH"});
  EXPECT_EQ(r.err, "Error: no table named NOSUCH\n");
}

TEST_F(Shell, ReadAndStorage) {
  WriteFile(Path("inner.sql"), "SELECT * FROM T;\nSELECT NOPE FROM T;\n");
  Ok({"db.zyd", "CREATE TABLE T (A SignedInt32)", "INSERT INTO T VALUES (4)"});
  Result r = Zydb({"-csv", "-noheader", "db.zyd"}, ".read inner.sql\n.read nofile.sql\n");
  EXPECT_EQ(r.out, "4\r\n");
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "Error near line 2 of inner.sql: $80000506 The field 'NOPE' does not exist\n");
  EXPECT_NE(r.err.find("Error near line 2: cannot open nofile.sql"), std::string::npos) << r.err;

  // .storage lets go of the file for the listing and opens it again afterwards.
  const std::string out = Ok({"-csv", "-noheader", "db.zyd", ".storage", "SELECT A FROM T"});
  EXPECT_NE(out.find("storage            -  Root/\n"), std::string::npos) << out;
  EXPECT_NE(out.find("    Tables/\n"), std::string::npos) << out;
  EXPECT_NE(out.find("      T.tbl\n"), std::string::npos) << out;
  EXPECT_NE(out.find("      SYS_SETTINGS.tbl\n"), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.size() - 3), "4\r\n");
}

TEST_F(Shell, SchemaAndTables) {
  Ok({"db.zyd", "CREATE TABLE B (X String(5) NULL AutoNumber)",
      "CREATE TABLE A (ID UnsignedInt32 AutoNumber, BY Byte(8) NULL, T Text, F Float10)"});
  EXPECT_EQ(Ok({"db.zyd", ".tables"}), "B\nA\n");  // catalogue order, system tables left out
  EXPECT_EQ(Ok({"db.zyd", ".schema A"}),
            "CREATE TABLE A (\n  ID UnsignedInt32 AutoNumber,\n  BY Byte(8) NULL,\n  T Text,\n"
            "  F Float10\n);\n");
  EXPECT_EQ(Ok({"db.zyd", ".schema sys_settings"}),
            "CREATE TABLE SYS_SETTINGS (\n  SECTION String(30),\n  KEY String(30),\n"
            "  DATA_BYTE Byte(50) NULL,\n  DATA_TEXT Text NULL,\n  DATA_BINARY Binary NULL\n);\n");
  const std::string all = Ok({"db.zyd", ".schema"});
  EXPECT_EQ(all.find("CREATE TABLE B (\n  X String(5) AutoNumber NULL\n);\nCREATE TABLE A"), 0u) << all;
}

// What .dump writes, read back into a new file, gives the same tables, the same values and
// the same next auto-numbers; dumping the copy gives the same script again.
TEST_F(Shell, DumpRoundTrip) {
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "line " + std::to_string(i) + "; it's \"long\"\\n\n";
  WriteFile(Path("long.txt"), longText);
  const std::string build =
      "CREATE TABLE V (ID SignedInt64 AutoNumber, S String(600) NULL, T Text NULL,\n"
      "  BIN Binary NULL, BY Byte(10) NULL, F4 Float4 NULL, F8 Float8 NULL, F10 Float10 NULL,\n"
      "  C Currency NULL, D DateTime NULL, OK Boolean NULL, I8 SignedInt8 NULL,\n"
      "  U32 UnsignedInt32 NULL, N SignedInt16 AutoNumber NULL);\n"
      "INSERT INTO V (S, F8, C, D, OK, I8, U32) VALUES ('It''s; fine;', 0.1, -0.0001,\n"
      "  '12/31/1999 23:59:59', TRUE, -128, 4294967295);\n"
      ".param set s ''\n.param set t x'0D0A00'\n.param clear\n"
      ".param set s ''\n.param set bin x''\n.param set by SignedInt32:-5\n"
      ".param set f4 0.1\n.param set f8 1e-300\n.param set f10 0.333333333333333333342\n"
      ".param set d 36525.123456789\n"
      "INSERT INTO V (S, BIN, BY, F4, F8, F10, D) VALUES (:s, :bin, :by, :f4, :f8, :f10, :d);\n"
      ".param file t long.txt\n.param set s 'a\tb'\n.param set bin 000102FF\n"
      ".param set by 'text'\n.param set f8 NAN\n.param set f4 -INF\n"
      "INSERT INTO V (S, T, BIN, BY, F8, F4) VALUES (:s, :t, :bin, :by, :f8, :f4);\n"
      ".param set by Float8:0.1\n.param set f8 1.5e300\n.param set f10 -0\n"
      "INSERT INTO V (BY, F8, F10, ID) VALUES (:by, :f8, :f10, 100);\n"
      ".param set by 00000000000000000000\n.param set n NULL\n"
      "INSERT INTO V (BY) VALUES (:by);\n"
      "UPDATE V SET N = NULL WHERE SYS_ROWID = 5;\n"
      "INSERT INTO V (OK) VALUES (FALSE);\n"
      "INSERT INTO V (OK) VALUES (TRUE);\n"
      "INSERT INTO V (OK) VALUES (FALSE);\n"
      "DELETE FROM V WHERE SYS_ROWID = 6;\n"
      "DELETE FROM V WHERE SYS_ROWID = 8;\n"
      "CREATE TABLE E (A SignedInt32 AutoNumber);\n"
      "INSERT INTO E (A) VALUES (5);\n"
      "CREATE TABLE EMPTY (A SignedInt32);\n";
  Ok({"a.zyd"}, build);
  const std::string dump = Ok({"a.zyd", ".dump"});
  EXPECT_NE(dump.find(".param set"), std::string::npos);
  EXPECT_NE(dump.find("CREATE TABLE EMPTY"), std::string::npos);
  WriteFile(Path("dump.sql"), dump);

  Result r = Zydb({"-new", "b.zyd"}, dump);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Ok({"b.zyd", ".dump"}), dump);
  EXPECT_EQ(Ok({"b.zyd", ".schema"}), Ok({"a.zyd", ".schema"}));
  for (const char* table : {"V", "E"}) {
    const std::string select = std::string("SELECT * FROM ") + table;
    EXPECT_EQ(Ok({"-json", "b.zyd", select}), Ok({"-json", "a.zyd", select}));
  }
  Ok({"b.zyd", ".binary t.txt SELECT T FROM V WHERE ID = 3"});
  EXPECT_EQ(ReadFile(Path("t.txt")), longText);
  // .read of the script works as well as standard input does.
  EXPECT_EQ(Ok({"-new", "c.zyd", ".read dump.sql", ".dump V"}), Ok({"a.zyd", ".dump V"}));
  // Row numbers and counters carry on alike: the next rows get the same SYS_ROWID and numbers.
  const std::string next =
      ".changes on\nINSERT INTO V (OK) VALUES (TRUE);\nINSERT INTO E (A) VALUES (0);\n"
      "UPDATE V SET I8 = 1 WHERE SYS_ROWID = 9;\n.mode csv\nSELECT ID, N, I8 FROM V WHERE I8 = 1;\n";
  const std::string fromCopy = Ok({"b.zyd"}, next);
  EXPECT_EQ(fromCopy, Ok({"a.zyd"}, next));
  EXPECT_EQ(fromCopy,
            "changes: 1   auto-number: 8\nchanges: 1\nchanges: 1\nID,N,I8\r\n8,9,1\r\n");
}

}  // namespace
