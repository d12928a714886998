#include "settings/data_file.h"

#include <algorithm>
#include <unordered_set>

#include "settings/error.h"
#include "settings/text8.h"
#include "settings/files.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

[[noreturn]] void Refuse(std::size_t line, const std::string& reason) {
  std::string message = "line ";
  AppendInteger(message, static_cast<long long>(line));
  throw Error(message + " " + reason);
}

std::string Count(std::size_t value) {
  std::string text;
  AppendInteger(text, static_cast<long long>(value));
  return text;
}

// Refuses a NUL or a byte that is not UTF-8, naming its line, before any value is taken.
void CheckText(std::string_view bytes) {
  std::size_t line = 1;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const char c = bytes[pos];
    if (c == '\0') Refuse(line, "holds a NUL character, which no text can hold");
    if (c == '\n' || (c == '\r' && (pos + 1 == bytes.size() || bytes[pos + 1] != '\n'))) ++line;
    const std::size_t length = Utf8Length(bytes, pos);
    if (length == 0) {
      Refuse(line, "is not UTF-8 text; save the data file as UTF-8 (with or without a BOM)");
    }
    pos += length;
  }
}

std::string SeparatorName(char separator) {
  return separator == '\t' ? "a tab" : separator == ';' ? "a semicolon" : "a comma";
}

class Parser {
 public:
  Parser(std::string_view bytes, char separator) : m_bytes(bytes), m_separator(separator) {}

  DataTable Read() {
    DataTable table;
    std::vector<std::string> record;
    bool haveHeader = false;
    while (m_pos < m_bytes.size()) {
      const std::size_t line = m_line;
      record.clear();
      if (!ReadRecord(record)) continue;  // an empty line
      if (!haveHeader) {
        CheckHeader(record, line);
        table.columns = std::move(record);
        record = {};
        haveHeader = true;
        continue;
      }
      if (record.size() != table.columns.size()) {
        Refuse(line, "has " + Count(record.size()) + (record.size() == 1 ? " value" : " values") +
                         " where the header names " + Count(table.columns.size()) + " columns (read with " +
                         SeparatorName(m_separator) + " between values, as the header decided)");
      }
      if (table.Rows() == kMaxDataRows) {
        Refuse(line, "is past the most rows a data file may hold, " + Count(kMaxDataRows));
      }
      if (table.ends.size() + record.size() > kMaxDataValues) {
        Refuse(line, "is past the most values a data file may hold, " + Count(kMaxDataValues));
      }
      for (const std::string& value : record) {
        table.values += value;
        table.ends.push_back(static_cast<std::uint32_t>(table.values.size()));
      }
      table.lines.push_back(static_cast<std::uint32_t>(line));
    }
    if (!haveHeader) throw Error("the data file is empty: its first line must name the columns");
    return table;
  }

 private:
  bool AtEnd() const { return m_pos >= m_bytes.size(); }
  char Peek() const { return m_bytes[m_pos]; }

  // Steps over a line end at the current position, if any; true when there was one.
  bool SkipLineEnd() {
    if (AtEnd()) return false;
    if (Peek() == '\n') {
      ++m_pos;
    } else if (Peek() == '\r') {
      ++m_pos;
      if (!AtEnd() && Peek() == '\n') ++m_pos;
    } else {
      return false;
    }
    ++m_line;
    return true;
  }

  // Reads one line's values; false for an empty line.
  bool ReadRecord(std::vector<std::string>& record) {
    bool quotedSeen = false;
    while (true) {
      std::string value;
      if (!AtEnd() && Peek() == '"') {
        ReadQuoted(value);
        quotedSeen = true;
      } else {
        ReadPlain(value);
      }
      if (value.size() > kMaxDataValueBytes) {
        Refuse(m_line, "holds a value of " + Count(value.size()) + " bytes; a value may hold at most " +
                           SizeText(kMaxDataValueBytes));
      }
      record.push_back(std::move(value));
      if (AtEnd() || SkipLineEnd()) break;
      ++m_pos;  // the separator
    }
    return quotedSeen || record.size() > 1 || !record.front().empty();
  }

  void ReadPlain(std::string& value) {
    const std::size_t start = m_pos;
    while (!AtEnd() && Peek() != m_separator && Peek() != '\n' && Peek() != '\r') ++m_pos;
    // A quote inside an unquoted value (12" for inches) is kept as it stands.
    value.assign(m_bytes.substr(start, m_pos - start));
  }

  void ReadQuoted(std::string& value) {
    const std::size_t openLine = m_line;
    ++m_pos;
    while (true) {
      if (AtEnd()) Refuse(openLine, "opens a quoted value that is never closed");
      const char c = Peek();
      if (c == '"') {
        ++m_pos;
        if (!AtEnd() && Peek() == '"') {
          value += '"';
          ++m_pos;
          continue;
        }
        break;
      }
      if (c == '\r' || c == '\n') {
        SkipLineEnd();
        value += '\n';
        continue;
      }
      const std::size_t start = m_pos;
      while (!AtEnd() && Peek() != '"' && Peek() != '\r' && Peek() != '\n') ++m_pos;
      value.append(m_bytes.substr(start, m_pos - start));
      if (value.size() > kMaxDataValueBytes) {
        Refuse(openLine, "opens a value of more than " + SizeText(kMaxDataValueBytes) +
                             ", the most a value may hold");
      }
    }
    if (!AtEnd() && Peek() != m_separator && Peek() != '\r' && Peek() != '\n') {
      Refuse(m_line, std::string("has text after the closing quote of a value where ") +
                         SeparatorName(m_separator) + " or the line end belongs");
    }
  }

  static void CheckHeader(const std::vector<std::string>& names, std::size_t line) {
    std::unordered_set<std::string_view> seen;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const std::string& name = names[k];
      if (name.empty()) {
        Refuse(line, "names no column " + Count(k + 1) + ": every column of the header needs a name");
      }
      if (name == "Row" || name == "Rows") {
        Refuse(line, "names a column '" + name + "', which would hide the placeholder {" + name +
                         "}; rename the column");
      }
      if (name.find_first_of("{}\n") != std::string::npos) {
        Refuse(line, "names a column '" + name +
                         "' holding a brace or a line break, which no placeholder can name");
      }
      if (!seen.insert(name).second) {
        Refuse(line, "names the column '" + name + "' twice; each placeholder must name one column");
      }
    }
  }

  std::string_view m_bytes;
  char m_separator;
  std::size_t m_pos = 0;
  std::size_t m_line = 1;
};

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

}  // namespace

std::string_view DataTable::Value(std::size_t row, std::size_t column) const {
  const std::size_t k = row * columns.size() + column;
  const std::size_t begin = k == 0 ? 0 : ends[k - 1];
  return std::string_view(values).substr(begin, ends[k] - begin);
}

std::optional<std::size_t> DataTable::ColumnOf(std::string_view name) const {
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (columns[k] == name) return k;
  }
  return std::nullopt;
}

DataFormat DetectDataFormat(std::string_view path, std::string_view bytes) {
  if (EndsWithNoCase(path, ".tsv") || EndsWithNoCase(path, ".tab")) return DataFormat::Tsv;
  const std::string_view first = bytes.substr(0, bytes.find_first_of("\r\n"));
  std::size_t commas = 0, tabs = 0, semicolons = 0;
  bool quoted = false;  // a quoted column name may hold any separator
  for (const char c : first) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    commas += c == ',';
    tabs += c == '\t';
    semicolons += c == ';';
  }
  if (semicolons > commas && semicolons > tabs) return DataFormat::Semicolon;
  return tabs > commas ? DataFormat::Tsv : DataFormat::Csv;
}

std::string ShownCharacter(char c) {
  static constexpr std::string_view kControlNames[32] = {
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
      "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  const auto code = static_cast<unsigned char>(c);
  if (c == '\n' || c == '\r') return "a line break";
  if (code < 32 || code == 127) {
    std::string shown(code == 127 ? "DEL" : kControlNames[code]);
    shown += " (code ";
    AppendInteger(shown, code);
    return shown + ")";
  }
  if (code >= 128) {
    constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("code 0x") + kHex[code >> 4] + kHex[code & 15];
  }
  return std::string("'") + c + "'";
}

std::optional<std::string> CharacterNotForGCode(std::string_view value) {
  for (std::size_t pos = 0; pos < value.size(); ++pos) {
    const auto code = static_cast<unsigned char>(value[pos]);
    if (code < 32 || code == 127 || value[pos] == '(' || value[pos] == ')' ||
        value[pos] == ';' || value[pos] == '%') {
      return ShownCharacter(value[pos]);
    }
    // U+0080 to U+009F, the C1 controls (U+0085 is a line break to some readers).
    if (code == 0xC2 && pos + 1 < value.size()) {
      const auto next = static_cast<unsigned char>(value[pos + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        std::string shown = "the control character U+00";
        constexpr char kHex[] = "0123456789ABCDEF";
        shown += kHex[next >> 4];
        shown += kHex[next & 15];
        return shown;
      }
    }
  }
  return std::nullopt;
}

DataTable ReadDataTable(std::string_view bytes, DataFormat format) {
  if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
  // One BOM marks the encoding; a second one would start the first column's name with an
  // invisible character, and no placeholder would ever name that column.
  if (bytes.substr(0, kBom.size()) == kBom) {
    Refuse(1, "starts with a second byte order mark (BOM, U+FEFF) after the first; save the data "
              "file with one BOM or none");
  }
  CheckText(bytes);
  return Parser(bytes, format == DataFormat::Tsv         ? '\t'
                      : format == DataFormat::Semicolon ? ';'
                                                        : ',')
      .Read();
}

DataTable ReadDataFile(const std::string& path) {
  constexpr std::string_view kFailure = "Cannot read the data file";
  const std::string bytes = ReadWholeFile(path, kMaxDataFileBytes, kFailure);
  try {
    return ReadDataTable(bytes, DetectDataFormat(path, bytes));
  } catch (const FileError&) {
    throw;
  } catch (const Error& error) {
    throw FileError(kFailure, path, error.what());
  }
}

}  // namespace stylor
