// Any bytes as a data file, read as CSV and as TSV. A table that reads must hold what the reader
// promises (every row as wide as the header, values within their caps), must survive being
// written back as quoted CSV and read again, and must fill a batch's placeholders row by row.

#include <string>
#include <string_view>

#include "engrave/layouts/batch.h"
#include "program_check.h"
#include "settings/data_file.h"
#include "settings/error.h"

namespace {

using namespace stylor;

std::string Quoted(std::string_view value) {
  std::string text = "\"";
  for (const char c : value) text += c == '"' ? std::string("\"\"") : std::string(1, c);
  return text + "\"";
}

// The table as CSV with every value quoted, so that separators, quotes and line breaks inside
// values must come back as they were.
std::string AsCsv(const DataTable& table) {
  std::string text;
  const auto line = [&](auto&& valueAt) {
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
      if (column != 0) text += ',';
      text += Quoted(valueAt(column));
    }
    text += "\r\n";
  };
  line([&](std::size_t column) { return std::string_view(table.columns[column]); });
  for (std::size_t row = 0; row < table.Rows(); ++row) {
    line([&](std::size_t column) { return table.Value(row, column); });
  }
  return text;
}

void Check(const DataTable& table) {
  if (table.columns.empty()) fuzz::Fail("a table without columns was read", "");
  if (table.ends.size() != table.Rows() * table.columns.size()) {
    fuzz::Fail("a row is not as wide as the header", std::to_string(table.ends.size()));
  }
  if (table.Rows() > kMaxDataRows) fuzz::Fail("more rows than the cap were read", "");
  for (std::size_t row = 0; row < table.Rows(); ++row) {
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
      const std::string_view value = table.Value(row, column);
      if (value.size() > kMaxDataValueBytes) fuzz::Fail("a value past its cap was read", "");
      if (value.find('\0') != std::string_view::npos) fuzz::Fail("a NUL was read", "");
      if (value.find('\r') != std::string_view::npos) fuzz::Fail("a CR stayed in a value", "");
    }
  }
  DataTable again;
  try {
    again = ReadDataTable(AsCsv(table), DataFormat::Csv);
  } catch (const Error& error) {
    fuzz::Fail("a table written back as CSV does not read", error.what());
  }
  if (again.columns != table.columns || again.values != table.values || again.ends != table.ends) {
    fuzz::Fail("a table changed when written back as CSV and read again", AsCsv(table));
  }

  EngraveSettings settings;
  settings.FreeFormTextE = {"{" + table.columns.front() + "} {Row}/{Rows}"};
  settings.ToolChange = {"{" + table.columns.back() + "}"};
  settings.Files = 1;
  settings.BatchNameColumn = table.columns.front();
  try {
    const BatchJob job = PrepareBatchJob(settings, table, BatchLayout::FreeFormText);
    EngraveSettings filled = settings;
    for (std::size_t row = 0; row < table.Rows(); ++row) FillBatchRow(job, row, filled);
    BatchFileNames(job);
  } catch (const Error&) {
    // A table without rows, or file names that clash, is refused with a message.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const DataFormat format : {DataFormat::Csv, DataFormat::Tsv}) {
    try {
      const DataTable table = ReadDataTable(bytes, format);
      Check(table);
    } catch (const Error&) {
      // A refusal with its message is the answer to a malformed file.
    }
  }
  return 0;
}
