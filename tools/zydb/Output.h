// Result sets as the shell prints them, in five modes: table and box (aligned columns framed in
// ASCII or in box-drawing characters), csv (RFC 4180), json (an array of objects) and line (one
// "name = value" line per column). Cells arrive already as text; the printer only lays them out.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace zydb {

enum class OutputMode { Table, Box, Csv, Json, Line };

// "table", "box", ...; false for an unknown name.
bool OutputModeFromName(const std::string& name, OutputMode* mode);
const char* OutputModeName(OutputMode mode);

// How a column's values are shown where it matters: numbers align right and are bare in json,
// booleans are true/false in json, everything else is text.
enum class CellKind { Text, Number, Boolean };

struct OutputColumn {
  std::string name;
  CellKind kind = CellKind::Text;
};

struct Cell {
  bool null = false;
  std::string text;  // for booleans "TRUE" or "FALSE"
};

struct OutputOptions {
  OutputMode mode = OutputMode::Table;
  bool headers = true;
  std::string nullValue;  // what NULL looks like in table, box and line modes
  // Widest cell, in characters, that table and box modes show whole; longer ones are cut and
  // the cut is reported under the result. 0 shows every cell whole.
  size_t maxWidth = 60;
};

// Prints one result set. table and box need every row before the first line can be drawn, so
// they keep the rows until Finish; the other modes write each row as it comes.
class ResultPrinter {
 public:
  ResultPrinter(std::ostream& out, const OutputOptions& options,
                std::vector<OutputColumn> columns);
  void Row(const std::vector<Cell>& cells);
  void Finish();
  uint64_t RowCount() const { return rows_; }

 private:
  void PrintFramed();

  std::ostream& out_;
  OutputOptions options_;
  std::vector<OutputColumn> columns_;
  std::vector<std::vector<Cell>> kept_;
  uint64_t rows_ = 0;
  bool finished_ = false;
};

// Helpers shared with other parts of the shell.
// Number of characters in UTF-8 text (continuation bytes do not count).
size_t DisplayWidth(const std::string& text);
// Text with control characters shown as \n, \r, \t or \xHH, so one value stays on one line.
std::string VisibleText(const std::string& text);
// A JSON string literal of text, quotes included.
std::string JsonQuote(const std::string& text);
// True when text is a number in JSON's own syntax.
bool IsJsonNumber(const std::string& text);

}  // namespace zydb
