// zydb: the SQL shell. It opens (or creates) one database file and runs SQL statements and
// dot-commands on it: typed at a terminal with line editing, given as arguments, or read from
// standard input as a script.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "engine/package/ZyDatabaseVersion.h"
#include "tools/zydb/LineInput.h"
#include "tools/zydb/Shell.h"

namespace {

const char kUsage[] =
    "usage: zydb [OPTIONS] FILE [SQL...]\n"
    "Opens the database FILE (creating it when there is no such file) and runs each SQL\n"
    "argument, or the statements on standard input, or reads them from the terminal.\n"
    "  -new          create FILE anew, replacing any file of that name\n"
    "  -cmd TEXT     run TEXT (a statement or dot-command) before the rest\n"
    "  -bail         stop at the first error\n"
    "  -batch        no prompt or line editing even on a terminal\n"
    "  -interactive  prompt and line editing even when input is not a terminal\n"
    "  -table, -box, -csv, -json, -line   the output mode\n"
    "  -header, -noheader                 column names on or off\n"
    "  -v            errors with their whole chain: code, module, method, text and details\n"
    "  -version      the engine version\n"
    "  -help         this text\n"
    "Exit status: 0 success, 1 a statement or command failed, 2 wrong usage.\n";

struct Options {
  std::string file;
  std::vector<std::string> sql;
  std::vector<std::string> cmds;
  bool replace = false;
  int interactive = -1;  // -1: decided by the terminal
};

[[noreturn]] void UsageError(const std::string& text) {
  std::fprintf(stderr, "zydb: %s\n%s", text.c_str(), kUsage);
  std::exit(2);
}

Options ParseArgs(int argc, char** argv, zydb::Shell& shell) {
  Options o;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a.size() < 2 || a[0] != '-') break;
    if (a.compare(0, 2, "--") == 0 && a.size() > 2) a.erase(0, 1);  // --csv works like -csv
    if (a == "--") {
      ++i;
      break;
    }
    zydb::OutputMode mode;
    if (a == "-new") {
      o.replace = true;
    } else if (a == "-cmd") {
      if (++i >= argc) UsageError("-cmd needs a statement or command");
      o.cmds.push_back(argv[i]);
    } else if (a == "-bail") {
      shell.bail = true;
    } else if (a == "-batch") {
      o.interactive = 0;
    } else if (a == "-interactive") {
      o.interactive = 1;
    } else if (zydb::OutputModeFromName(a.substr(1), &mode)) {
      shell.output.mode = mode;
    } else if (a == "-header" || a == "-headers") {
      shell.output.headers = true;
    } else if (a == "-noheader" || a == "-noheaders") {
      shell.output.headers = false;
    } else if (a == "-v" || a == "-verbose") {
      shell.verbose = true;
    } else if (a == "-version") {
      std::printf("zydb %s\n", Version(false).c_str());
      std::exit(0);
    } else if (a == "-help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else {
      UsageError("unknown option " + a);
    }
  }
  if (i >= argc) UsageError("a database FILE is needed");
  o.file = argv[i++];
  for (; i < argc; ++i) o.sql.push_back(argv[i]);
  return o;
}

std::string HistoryFile() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.zydb_history" : std::string();
}

// The terminal loop: prompts, line editing, history; errors never end it, only .quit or Ctrl-D.
void Interactive(zydb::Shell& shell) {
  std::printf("zydb %s - enter .help for the commands; statements end with ';'\n",
              Version(false).c_str());
  zydb::LineInput input(HistoryFile());
  zydb::StatementSplitter splitter;
  std::string line, entry;
  const zydb::Source typed{"", false};
  zydb::InterruptsCatch();
  while (!shell.QuitRequested()) {
    std::fflush(stdout);
    zydb::InterruptTake();
    if (!input.Read(splitter.Pending() ? "   ...> " : "zydb> ", &line)) {
      std::printf("\n");
      // Ctrl-C drops what was typed so far; Ctrl-D ends the session.
      if (zydb::InterruptTake()) {
        splitter.Reset();
        entry.clear();
        continue;
      }
      break;
    }
    entry += (entry.empty() ? "" : "\n") + line;
    const zydb::Unit unit = splitter.Feed(line);
    if (!splitter.Pending()) {
      input.Remember(entry);
      entry.clear();
    }
    if (unit.kind != zydb::Unit::None) shell.RunUnit(unit, typed);
  }
  const zydb::Unit rest = splitter.Finish();
  if (rest.kind != zydb::Unit::None && !shell.QuitRequested()) shell.RunUnit(rest, typed);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(true);
  zydb::Shell shell;
  const Options o = ParseArgs(argc, argv, shell);
  try {
    shell.OpenDatabase(o.file, o.replace);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Error: cannot open %s: %s\n", o.file.c_str(),
                 shell.DescribeException(e).c_str());
    return 1;
  }
  bool go = true;
  for (const std::string& cmd : o.cmds)
    if (go) go = shell.RunText(cmd);
  if (go) {
    if (!o.sql.empty()) {
      for (const std::string& sql : o.sql)
        if (go) go = shell.RunText(sql);
    } else if (o.interactive == 1 || (o.interactive == -1 && isatty(STDIN_FILENO))) {
      // Errors were shown as they happened; a session at the terminal still ends normally.
      Interactive(shell);
      return 0;
    } else {
      shell.RunStream(std::cin, zydb::Source{"", true});
    }
  }
  std::cout.flush();
  return shell.AnyFailed() ? 1 : 0;
}
