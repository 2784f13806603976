#include "tools/zydb/Output.h"

#include <cstdio>

#include "tools/zydb/Csv.h"

namespace zydb {

namespace {

struct Frame {
  // top, header separator and bottom: left, fill, joint, right
  const char* top[4];
  const char* middle[4];
  const char* bottom[4];
  const char* vertical;
  const char* ellipsis;
};

const Frame kAscii = {{"+", "-", "+", "+"}, {"+", "-", "+", "+"}, {"+", "-", "+", "+"}, "|", "..."};
const Frame kBox = {{"\u250C", "\u2500", "\u252C", "\u2510"},
                    {"\u251C", "\u2500", "\u253C", "\u2524"},
                    {"\u2514", "\u2500", "\u2534", "\u2518"},
                    "\u2502",
                    "\u2026"};

// The first count characters of UTF-8 text.
std::string Prefix(const std::string& text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == count) return text.substr(0, i);
      ++seen;
    }
  }
  return text;
}

std::string Repeat(const char* piece, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s += piece;
  return s;
}

}  // namespace

bool OutputModeFromName(const std::string& name, OutputMode* mode) {
  static const struct {
    const char* name;
    OutputMode mode;
  } kModes[] = {{"table", OutputMode::Table},
                {"box", OutputMode::Box},
                {"csv", OutputMode::Csv},
                {"json", OutputMode::Json},
                {"line", OutputMode::Line}};
  for (const auto& m : kModes)
    if (name == m.name) {
      *mode = m.mode;
      return true;
    }
  return false;
}

const char* OutputModeName(OutputMode mode) {
  switch (mode) {
    case OutputMode::Table: return "table";
    case OutputMode::Box: return "box";
    case OutputMode::Csv: return "csv";
    case OutputMode::Json: return "json";
    case OutputMode::Line: return "line";
  }
  return "";
}

size_t DisplayWidth(const std::string& text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

std::string VisibleText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", b);
      out += esc;
    } else {
      out += c;
    }
  }
  return out;
}

std::string JsonQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (b < 0x20 || b == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04X", b);
          out += esc;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

bool IsJsonNumber(const std::string& s) {
  size_t i = 0;
  auto digits = [&] {
    size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i > start;
  };
  if (i < s.size() && s[i] == '-') ++i;
  if (i < s.size() && s[i] == '0') {
    ++i;
  } else if (!digits()) {
    return false;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == s.size();
}

ResultPrinter::ResultPrinter(std::ostream& out, const OutputOptions& options,
                             std::vector<OutputColumn> columns)
    : out_(out), options_(options), columns_(std::move(columns)) {
  switch (options_.mode) {
    case OutputMode::Csv:
      if (options_.headers && !columns_.empty()) {
        for (size_t i = 0; i < columns_.size(); ++i)
          out_ << (i ? "," : "") << CsvQuote(columns_[i].name);
        out_ << "\r\n";
      }
      break;
    case OutputMode::Json:
      out_ << "[";
      break;
    default:
      break;
  }
}

void ResultPrinter::Row(const std::vector<Cell>& cells) {
  ++rows_;
  switch (options_.mode) {
    case OutputMode::Table:
    case OutputMode::Box:
      kept_.push_back(cells);
      return;
    case OutputMode::Csv:
      for (size_t i = 0; i < cells.size(); ++i) {
        if (i) out_ << ',';
        if (!cells[i].null) out_ << CsvQuote(cells[i].text);
      }
      out_ << "\r\n";
      return;
    case OutputMode::Json:
      out_ << (rows_ > 1 ? ",\n{" : "{");
      for (size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
        out_ << (i ? "," : "") << JsonQuote(columns_[i].name) << ':';
        const Cell& c = cells[i];
        if (c.null)
          out_ << "null";
        else if (columns_[i].kind == CellKind::Boolean)
          out_ << (c.text == "TRUE" ? "true" : "false");
        else if (columns_[i].kind == CellKind::Number && IsJsonNumber(c.text))
          out_ << c.text;
        else
          out_ << JsonQuote(c.text);
      }
      out_ << '}';
      return;
    case OutputMode::Line: {
      size_t width = 0;
      for (const auto& col : columns_) width = std::max(width, DisplayWidth(col.name));
      if (rows_ > 1) out_ << '\n';
      for (size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
        out_ << std::string(width - DisplayWidth(columns_[i].name), ' ') << columns_[i].name
             << " = " << (cells[i].null ? options_.nullValue : cells[i].text) << '\n';
      }
      return;
    }
  }
}

void ResultPrinter::Finish() {
  if (finished_) return;
  finished_ = true;
  switch (options_.mode) {
    case OutputMode::Table:
    case OutputMode::Box:
      PrintFramed();
      break;
    case OutputMode::Json:
      out_ << "]\n";
      break;
    default:
      break;
  }
  out_.flush();
}

void ResultPrinter::PrintFramed() {
  const Frame& f = options_.mode == OutputMode::Box ? kBox : kAscii;
  const size_t n = columns_.size();
  if (n == 0 || (kept_.empty() && !options_.headers)) return;
  const size_t limit = options_.maxWidth;
  uint64_t shortened = 0;

  // Cells become one-line display texts first; the widths follow from them.
  std::vector<std::vector<std::string>> shown(kept_.size(), std::vector<std::string>(n));
  std::vector<size_t> width(n, 0);
  if (options_.headers)
    for (size_t c = 0; c < n; ++c) width[c] = DisplayWidth(columns_[c].name);
  const size_t ellipsis = DisplayWidth(f.ellipsis);
  for (size_t r = 0; r < kept_.size(); ++r) {
    for (size_t c = 0; c < n && c < kept_[r].size(); ++c) {
      const Cell& cell = kept_[r][c];
      std::string text = VisibleText(cell.null ? options_.nullValue : cell.text);
      if (limit > 0 && DisplayWidth(text) > limit) {
        text = Prefix(text, limit > ellipsis ? limit - ellipsis : 0) + f.ellipsis;
        ++shortened;
      }
      width[c] = std::max(width[c], DisplayWidth(text));
      shown[r][c] = std::move(text);
    }
  }

  auto rule = [&](const char* const parts[4]) {
    out_ << parts[0];
    for (size_t c = 0; c < n; ++c) out_ << Repeat(parts[1], width[c] + 2) << (c + 1 < n ? parts[2] : parts[3]);
    out_ << '\n';
  };
  auto line = [&](const std::vector<std::string>& texts, bool header) {
    out_ << f.vertical;
    for (size_t c = 0; c < n; ++c) {
      const std::string& t = texts[c];
      std::string pad(width[c] - DisplayWidth(t), ' ');
      bool right = !header && columns_[c].kind == CellKind::Number;
      out_ << ' ' << (right ? pad + t : t + pad) << ' ' << f.vertical;
    }
    out_ << '\n';
  };

  rule(f.top);
  if (options_.headers) {
    std::vector<std::string> names;
    for (const auto& col : columns_) names.push_back(VisibleText(col.name));
    line(names, true);
    if (!shown.empty()) rule(f.middle);
  }
  for (const auto& texts : shown) line(texts, false);
  rule(f.bottom);
  if (shortened > 0)
    out_ << "(" << shortened << (shortened == 1 ? " value was" : " values were")
         << " cut to " << limit << " characters; .width 0 or .mode line shows them whole)\n";
  kept_.clear();
}

}  // namespace zydb
