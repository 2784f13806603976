// The shell's state and its two kinds of work: SQL statements, each run through one query object
// with the shell's parameter values bound, and dot-commands. Input arrives as lines from a
// terminal, a script or a command-line argument; the splitter cuts it into units.
#pragma once

#include <chrono>
#include <fstream>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tools/zydb/Output.h"
#include "tools/zydb/Splitter.h"
#include "tools/zydb/Values.h"

class TZyDatabase;
class TZyDatabaseQuery;
class TZyDatabaseTable;

namespace zydb {

// Where a unit came from, for error messages: scripts name the line ("Error near line 3: ..."),
// typed and one-shot input does not.
struct Source {
  std::string name;
  bool numbered = false;
};

class Shell {
 public:
  Shell();
  ~Shell();

  // Opens file, or creates it when replace is set or no file of that name exists (saying so on
  // stderr in the latter case). Raises on failure.
  void OpenDatabase(const std::string& file, bool replace);
  void CloseDatabase();

  // Runs every unit of the stream; false when -bail stopped it at an error or .quit was given.
  bool RunStream(std::istream& in, const Source& source);
  // Runs text as if it were a small script without line numbers (one-shot arguments, -cmd).
  bool RunText(const std::string& text);
  // Runs one unit and reports its failure; false when the shell should stop (bail or quit).
  bool RunUnit(const Unit& unit, const Source& source);

  // An error as the shell reports it: an engine error as its code and text (with -v its whole
  // chain), any other as its message.
  std::string DescribeException(const std::exception& e) const;

  bool QuitRequested() const { return quit_; }
  bool AnyFailed() const { return failed_; }

  OutputOptions output;
  bool bail = false;
  bool timer = false;
  bool changes = false;
  bool verbose = false;

 private:
  void ExecuteSql(const std::string& sql);
  void Command(const std::string& line);
  void ReportError(const std::string& message, const Unit& unit, const Source& source);

  // The open database; raises a ShellError when there is none.
  TZyDatabase& Database();
  std::ostream& Out();
  // Ends a .once redirection after the command or statement that used it.
  void AfterOutput();
  // Sets every parameter of the prepared query for which the shell holds a value; the others
  // stay null. slots keeps Text and Binary values alive until the statement has run.
  void BindParams(TZyDatabaseQuery& query, std::vector<ParamSlot>& slots);
  uint64_t PrintResult(TZyDatabaseQuery& query);
  TZyDatabaseTable* FindTable(const std::string& name);

  // Dot-commands (Commands.cpp, Dump.cpp).
  void CmdTables();
  void CmdSchema(const std::string& table);
  void CmdDump(const std::string& table);
  void CmdImport(const std::vector<std::string>& args);
  void CmdParam(const std::string& line, const std::vector<std::string>& args);
  void CmdStorage();
  void CmdBinary(const std::string& line);
  void CmdRead(const std::string& file);
  void CmdOutput(const std::string& file, bool once);
  void CmdHelp();
  void DumpTable(TZyDatabaseTable& table);

  std::unique_ptr<TZyDatabase> database_;
  std::string fileName_;
  // Parameter values by name, letter case aside (the names are identifiers: ASCII only).
  std::map<std::string, ParamValue> params_;
  std::unique_ptr<std::ofstream> file_;
  int onceUnits_ = 0;  // .once: the units left before output returns to stdout
  bool quit_ = false;
  bool failed_ = false;
  bool bailed_ = false;
  int readDepth_ = 0;
};

// Ctrl-C at the terminal: the handler only raises this flag; long loops (printing a result,
// .dump, .import) look at it between rows and stop with an error, and the prompt drops the
// statement being typed.
void InterruptsCatch();
bool InterruptTake();
void CheckInterrupt();  // raises ShellError("interrupted") when the flag was up

// Splits a dot-command line into words: blanks separate them, and '...' or "..." groups a word
// with blanks in it. With rest, *rest receives the line after the first restAfter words (blanks
// before it dropped), taken as typed.
std::vector<std::string> CommandWords(const std::string& line, size_t restAfter = 0,
                                      std::string* rest = nullptr);

}  // namespace zydb
