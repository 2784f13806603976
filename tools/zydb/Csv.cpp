#include "tools/zydb/Csv.h"

namespace zydb {

int CsvReader::Get() {
  if (pendingPos_ < pending_.size()) return static_cast<unsigned char>(pending_[pendingPos_++]);
  return in_.get();
}

int CsvReader::Peek() {
  if (pendingPos_ < pending_.size()) return static_cast<unsigned char>(pending_[pendingPos_]);
  return in_.peek();
}

// Consumes the rest of a line break whose first character c was already read.
void CsvReader::EndOfLine(int c) {
  if (c == '\r' && Peek() == '\n') Get();
  ++line_;
}

bool CsvReader::Next(std::vector<CsvField>* fields) {
  fields->clear();
  error_.clear();
  if (!started_) {
    started_ = true;
    // Bytes that start like a byte-order mark but are not one stay for the record.
    static const char kBom[] = "\xEF\xBB\xBF";
    for (int i = 0; i < 3 && in_.peek() == static_cast<unsigned char>(kBom[i]); ++i)
      pending_ += static_cast<char>(in_.get());
    if (pending_.size() == 3) pending_.clear();
  }
  // Empty lines between records are skipped.
  for (;;) {
    int c = Peek();
    if (c == EOF) return false;
    if (c != '\r' && c != '\n') break;
    EndOfLine(Get());
  }
  recordLine_ = line_;

  CsvField field;
  for (;;) {
    int c = Get();
    if (c == '"' && field.text.empty() && !field.quoted) {
      field.quoted = true;
      for (;;) {
        c = Get();
        if (c == EOF) {
          error_ = "unterminated quoted field";
          return false;
        }
        if (c == '"') {
          if (Peek() == '"') {
            Get();
            field.text += '"';
            continue;
          }
          break;
        }
        if (c == '\n' || (c == '\r' && Peek() != '\n')) ++line_;
        field.text += static_cast<char>(c);
      }
      c = Get();
      if (c != ',' && c != '\r' && c != '\n' && c != EOF) {
        error_ = "unexpected text after a closing quote";
        return false;
      }
    }
    if (c == ',') {
      fields->push_back(std::move(field));
      field = CsvField();
      continue;
    }
    if (c == '\r' || c == '\n' || c == EOF) {
      fields->push_back(std::move(field));
      if (c != EOF) EndOfLine(c);
      return true;
    }
    if (c == '"') {
      error_ = "quote inside an unquoted field";
      return false;
    }
    field.text += static_cast<char>(c);
  }
}

std::string CsvQuote(const std::string& text) {
  if (!text.empty() && text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace zydb
