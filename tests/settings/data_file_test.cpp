#include "settings/data_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/error.h"
#include "settings/files.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

// Every row of a table, values joined by "|", rows by "/".
std::string Flatten(const DataTable& table) {
  std::string text;
  for (std::size_t column = 0; column < table.columns.size(); ++column) {
    text += (column ? "|" : "") + table.columns[column];
  }
  for (std::size_t row = 0; row < table.Rows(); ++row) {
    text += "/";
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
      text += (column ? "|" : "") + std::string(table.Value(row, column));
    }
  }
  return text;
}

struct ReadCase {
  const char* name;
  std::string bytes;
  DataFormat format;
  const char* expected;
};

const ReadCase kReadCases[] = {
    {"PlainLf", "Name,Serial\nPump,1\nValve,2\n", DataFormat::Csv, "Name|Serial/Pump|1/Valve|2"},
    {"CrLfAndNoLastLineEnd", "A,B\r\n1,2\r\n3,4", DataFormat::Csv, "A|B/1|2/3|4"},
    {"LoneCrEndsALine", "A,B\r1,2\r", DataFormat::Csv, "A|B/1|2"},
    {"QuotesAndDoubledQuotes", "A,B\n\"x,y\",\"say \"\"hi\"\"\"\n", DataFormat::Csv,
     "A|B/x,y|say \"hi\""},
    {"QuotedLineBreakCrLfBecomesLf", "A\r\n\"one\r\ntwo\"\r\n", DataFormat::Csv, "A/one\ntwo"},
    {"QuoteInsidePlainValueKept", "Size\n12\" pipe\n", DataFormat::Csv, "Size/12\" pipe"},
    {"EmptyValuesAndTrailingSeparator", "A,B,C\n,,\n1,,\n", DataFormat::Csv, "A|B|C/||/1||"},
    {"EmptyLinesSkipped", "\nA,B\n\n1,2\r\n\r\n", DataFormat::Csv, "A|B/1|2"},
    {"QuotedEmptyValueIsARow", "A\n\"\"\n", DataFormat::Csv, "A/"},
    {"BomDropped", "\xEF\xBB\xBFName\nK\xC3\xB6ln\n", DataFormat::Csv, "Name/K\xC3\xB6ln"},
    {"SemicolonsWithDecimalCommas", "Tag;Size\r\nV-101;\"2,5\"\r\nV-102;1,25\r\n", DataFormat::Semicolon,
     "Tag|Size/V-101|2,5/V-102|1,25"},
    {"TabsSeparateTsv", "A\tB\n1,5\t\"x\ty\"\n", DataFormat::Tsv, "A|B/1,5|x\ty"},
    {"SpacesKept", "A, B\n 1 , 2\n", DataFormat::Csv, "A| B/ 1 | 2"},
    {"HeaderOnly", "A,B\n", DataFormat::Csv, "A|B"},
};

class ReadDataTableTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadDataTableTest, ReadsValuesAsWritten) {
  EXPECT_EQ(Flatten(ReadDataTable(GetParam().bytes, GetParam().format)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadDataTableTest, testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDataTable, KeepsTheLineOfEachRow) {
  const DataTable table = ReadDataTable("A\n\"x\ny\"\n\nz\n", DataFormat::Csv);
  ASSERT_EQ(table.Rows(), 2u);
  EXPECT_EQ(table.lines[0], 2u);
  EXPECT_EQ(table.lines[1], 5u);
  EXPECT_EQ(table.ColumnOf("A"), 0u);
  EXPECT_EQ(table.ColumnOf("a"), std::nullopt);
}

struct RefusalCase {
  const char* name;
  std::string bytes;
  const char* message;
};

const RefusalCase kRefusals[] = {
    {"Empty", "", "the data file is empty"},
    {"OnlyEmptyLines", "\r\n\n", "the data file is empty"},
    {"MoreValues", "A,B\n1,2\n1,2,3\n", "line 3 has 3 values where the header names 2 columns"},
    {"FewerValues", "A,B\n1\n", "line 2 has 1 value where the header names 2 columns (read with a comma"},
    {"UnclosedQuote", "A\nok\n\"never\nclosed\n", "line 3 opens a quoted value that is never closed"},
    {"TextAfterClosingQuote", "A,B\n\"x\"y,2\n", "line 2 has text after the closing quote"},
    {"Nul", "A\nx\n\"y", "line 3 holds a NUL"},
    {"NotUtf8", "A\nok\nK\xF6ln\n", "line 3 is not UTF-8 text"},
    {"OverlongUtf8", "A\n\xC0\xAF\n", "line 2 is not UTF-8 text"},
    {"DuplicateColumn", "Name,Serial,Name\n1,2,3\n", "line 1 names the column 'Name' twice"},
    {"EmptyColumnName", "Name,\n1,2\n", "line 1 names no column 2"},
    {"ReservedColumnName", "Row\n1\n", "would hide the placeholder {Row}"},
    {"BraceInColumnName", "a{b}\n1\n", "holding a brace"},
    {"DoubledBom", "\xEF\xBB\xBF\xEF\xBB\xBFName\nA\n", "line 1 starts with a second byte order mark"},
};

class DataTableRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(DataTableRefusalTest, NamesTheLine) {
  std::string bytes = GetParam().bytes;
  if (std::string_view(GetParam().name) == "Nul") bytes.insert(6, 1, '\0');
  EXPECT_THAT([&] { ReadDataTable(bytes, DataFormat::Csv); },
              ThrowsMessage<Error>(HasSubstr(GetParam().message)));
}

INSTANTIATE_TEST_SUITE_P(Cases, DataTableRefusalTest, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDataTable, RefusesAValuePastItsCap) {
  const std::string big(kMaxDataValueBytes + 1, 'x');
  for (const std::string& bytes : {"A\n" + big + "\n", "A\n\"" + big + "\"\n"}) {
    EXPECT_THAT([&] { ReadDataTable(bytes, DataFormat::Csv); },
                ThrowsMessage<Error>(HasSubstr("line 2 ")));
  }
  EXPECT_EQ(ReadDataTable("A\n" + std::string(kMaxDataValueBytes, 'x'), DataFormat::Csv).Rows(),
            1u);
}

TEST(ReadDataTable, RefusesARowPastTheCap) {
  std::string bytes = "A\n";
  for (std::size_t row = 0; row <= kMaxDataRows; ++row) bytes += "1\n";
  EXPECT_THAT([&] { ReadDataTable(bytes, DataFormat::Csv); },
              ThrowsMessage<Error>(HasSubstr("line 1000002 is past the most rows")));
  bytes.resize(bytes.size() - 2);
  EXPECT_EQ(ReadDataTable(bytes, DataFormat::Csv).Rows(), kMaxDataRows);
}

struct FormatCase {
  const char* path;
  const char* firstLine;
  DataFormat expected;
};

TEST(DetectDataFormat, ByExtensionThenByTheFirstLine) {
  const FormatCase kCases[] = {
      {"rows.tsv", "A,B,C", DataFormat::Tsv},  {"ROWS.TAB", "A", DataFormat::Tsv},
      {"rows.csv", "A\tB", DataFormat::Tsv},   {"rows.txt", "A\tB,C", DataFormat::Csv},
      {"rows.csv", "A,B\n1\t2\t3", DataFormat::Csv},
      // Semicolons win only when they outnumber both commas and tabs; quoted names do not count.
      {"rows.csv", "Tag;Service;Size, mm", DataFormat::Semicolon},
      {"rows.txt", "A;B,C", DataFormat::Csv},
      {"rows.txt", "A;B\tC", DataFormat::Tsv},
      {"rows.csv", "\"a;b;c\",D", DataFormat::Csv},
      {"rows.csv", "\"a,b\";\"c,d\"", DataFormat::Semicolon},
      {"rows.csv", "Name", DataFormat::Csv},
  };
  for (const FormatCase& each : kCases) {
    SCOPED_TRACE(std::string(each.path) + " " + each.firstLine);
    EXPECT_EQ(DetectDataFormat(each.path, each.firstLine), each.expected);
  }
}

TEST(ReadDataFile, NamesTheFileInEveryRefusal) {
  test::TempFolder folder;
  const std::string good = folder.Write("plates.tsv", "Name\tSerial\nPump\t1\n");
  EXPECT_EQ(Flatten(ReadDataFile(good)), "Name|Serial/Pump|1");
  const std::string bad = folder.Write("bad.csv", "A,A\n");
  EXPECT_THAT([&] { ReadDataFile(bad); },
              ThrowsMessage<Error>(HasSubstr("Cannot read the data file '" + bad + "': line 1")));
  EXPECT_THAT([&] { ReadDataFile(folder.File("missing.csv")); },
              ThrowsMessage<Error>(HasSubstr("Cannot read the data file")));
}

TEST(CharacterNotForGCode, RefusesWhatEndsACommentOrStartsALine) {
  const struct {
    std::string value;
    std::optional<std::string> shown;
  } kCases[] = {
      {"PUMP 7-A/\xC3\xB6 # * ", std::nullopt},
      {"", std::nullopt},
      {"1) G00 Z-5. (", "')'"},
      {"(x", "'('"},
      {"1\nG00", "a line break"},
      {"1\rG00", "a line break"},
      {"a;b", "';'"},
      {"%", "'%'"},
      {"a\tb", "TAB (code 9)"},
      {"\x1b[2J", "ESC (code 27)"},
      {"\x7f", "DEL (code 127)"},
      {"\xC2\x85", "the control character U+0085"},
      {"\xC2\xA0", std::nullopt},  // a no-break space is text
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(CharacterNotForGCode(c.value), c.shown);
  }
}

}  // namespace
}  // namespace stylor
