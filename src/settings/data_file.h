#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stylor {

/// Largest data file read, in bytes.
constexpr std::size_t kMaxDataFileBytes = std::size_t{64} << 20;
/// Most rows a data file may hold below its header.
constexpr std::size_t kMaxDataRows = 1'000'000;
/// Most values of all rows together, so that a file of empty values cannot take gigabytes.
constexpr std::size_t kMaxDataValues = 16'000'000;
/// Longest single value, in bytes: a text to engrave, not a document.
constexpr std::size_t kMaxDataValueBytes = 64 * 1024;

/// How the values of a line are separated.
enum class DataFormat { Csv, Tsv, Semicolon };

/// The rows of a data file below its header, values as UTF-8 text (a line break inside a quoted
/// value held as "\n").
struct DataTable {
  std::vector<std::string> columns;  // the header's names, in their order
  std::string values;                // every value of every row, one after another
  std::vector<std::uint32_t> ends;   // where each value ends in `values`, row after row
  std::vector<std::uint32_t> lines;  // the file line each row starts on

  std::size_t Rows() const { return lines.size(); }
  /// The value of `column` in `row` (both counted from 0).
  std::string_view Value(std::size_t row, std::size_t column) const;
  /// The column of that exact name, or nothing.
  std::optional<std::size_t> ColumnOf(std::string_view name) const;
};

/// The first character of `value` (UTF-8) that a value filled into a G-code block or row line
/// may not hold, as ShownCharacter shows it, or nothing when every character may stand there.
/// A line break would start a program line of the value's own, "(" and ")" open and close a
/// comment, ";" starts a comment to the line end and "%" marks the start and end of a program;
/// a control character (C0, DEL or C1) is read by no control as text. Every placeholder that
/// fills G-code lines (data columns today) goes through this one rule.
std::optional<std::string> CharacterNotForGCode(std::string_view value);

/// A byte as a message shows it: 'x' for a printable character, a name for a control character
/// ("a line break", "ESC (code 27)", "DEL (code 127)"), "code 0x81" for a byte of 0x80 or more.
std::string ShownCharacter(char c);

/// TSV for a name ending in ".tsv" or ".tab" (any case). Otherwise the first line decides: the
/// separator it holds most often outside double quotes wins (semicolons are what a spreadsheet
/// writes under a locale whose decimal mark is the comma). A tie goes to the comma, then to the
/// tab, so a header of tabs and commas is read as it always was, and a header with no separator
/// (one column) is CSV.
DataFormat DetectDataFormat(std::string_view path, std::string_view bytes);

/// Reads a data file's bytes: UTF-8 with or without a BOM; values separated by commas (CSV),
/// tabs (TSV) or semicolons and quoted as RFC 4180 says (a doubled quote inside quotes is one
/// quote); lines end in CR LF, LF or CR; empty lines are skipped. The first line names the columns. Throws Error
/// naming the line for a second BOM after the first (the file was saved twice with one), a NUL, text that is not UTF-8, an unclosed quote, text after a closing
/// quote, a header with an empty, repeated or reserved ("Row", "Rows") name or one holding a
/// brace, a row whose count of values differs from the header's, and past the caps above.
DataTable ReadDataTable(std::string_view bytes, DataFormat format);

/// Reads the data file `path` (at most kMaxDataFileBytes), its format detected. Throws Error
/// "Cannot read the data file '<path>': <reason>".
DataTable ReadDataFile(const std::string& path);

}  // namespace stylor
