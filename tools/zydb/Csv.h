// Comma-separated values in the RFC 4180 form: the reader behind .import and the field quoting
// of the csv output mode. A field written without quotes and left empty stands for NULL; a quoted
// empty field ("") is an empty text, so both survive a round trip.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace zydb {

struct CsvField {
  std::string text;
  bool quoted = false;
};

class CsvReader {
 public:
  explicit CsvReader(std::istream& in) : in_(in) {}
  // Reads the next record. Returns false at the end of the input, or on malformed input with
  // Error() telling what is wrong (then RecordLine() is the record's first line). Records end
  // with CR LF, LF or CR; line breaks inside quoted fields belong to the field. Lines that are
  // entirely empty are skipped; a UTF-8 byte-order mark before the first record is ignored.
  bool Next(std::vector<CsvField>* fields);
  const std::string& Error() const { return error_; }
  // Line on which the record returned last (or the malformed one) began, counted from 1.
  int RecordLine() const { return recordLine_; }

 private:
  int Get();
  int Peek();
  void EndOfLine(int c);

  std::istream& in_;
  std::string pending_;  // bytes read ahead while looking for a byte-order mark
  size_t pendingPos_ = 0;
  std::string error_;
  int line_ = 1;
  int recordLine_ = 0;
  bool started_ = false;
};

// The field as the csv mode writes it: quoted when it holds a comma, a quote, CR or LF, or when
// it is empty (so that it reads back as an empty text, not as NULL).
std::string CsvQuote(const std::string& text);

}  // namespace zydb
