#include "engrave/codes/code_symbol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "decoders.h"
#include "preview/png.h"
#include "settings/error.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

using testing::HasSubstr;

// The symbol drawn square by square, 6 pixels a module, inside its quiet zone.
std::string MatrixPng(const ModuleMatrix& matrix, int quiet) {
  constexpr int kPixels = 6;
  GreyImage image = WhiteImage((matrix.columns + 2 * quiet) * kPixels, (matrix.rows + 2 * quiet) * kPixels);
  for (int row = 0; row < matrix.rows; ++row) {
    for (int column = 0; column < matrix.columns; ++column) {
      if (!matrix.Dark(row, column)) continue;
      for (int y = 0; y < kPixels; ++y) {
        for (int x = 0; x < kPixels; ++x) {
          image.At((column + quiet) * kPixels + x, (row + quiet) * kPixels + y) = 0;
        }
      }
    }
  }
  return EncodePng(image);
}

struct EncodeCase {
  const char* name;
  CodeRequest request;
  int rows;
  int columns;
};

const EncodeCase kEncoded[] = {
    {"DataMatrixSmallestSquare", {CodeSymbology::DataMatrix, "SN 000123", false, "", false, 1}, 14, 14},
    {"DataMatrixChosenSize", {CodeSymbology::DataMatrix, "SN 000123", false, "26x26", false, 1}, 26, 26},
    {"DataMatrixAutomaticRectangle", {CodeSymbology::DataMatrix, "SN 000123", false, "", true, 1}, 8, 32},
    {"DataMatrixChosenRectangle", {CodeSymbology::DataMatrix, "A1", false, "8x32", false, 1}, 8, 32},
    {"DataMatrixWindows1252", {CodeSymbology::DataMatrix, "\xD8" "12 \xB1" "0.05", false, "", false, 1}, 16, 16},
    {"GS1DataMatrix", {CodeSymbology::DataMatrix, "(01)09506000134352(17)261231(10)AB12(21)X7", true, "", false, 1}, 20, 20},
    {"QrLevelL", {CodeSymbology::Qr, "https://example.com/p/4711", false, "", false, 0}, 25, 25},
    {"QrLevelHChosenVersion", {CodeSymbology::Qr, "4711", false, "5", false, 3}, 37, 37},
    {"QrWindows1252", {CodeSymbology::Qr, "\xD8" "12 \xB1" "0.05 \x80", false, "", false, 2}, 25, 25},
};

class EncodeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTest, GivesTheSymbolThatTheDecoderReadsBack) {
  const EncodeCase& c = GetParam();
  const ModuleMatrix matrix = EncodeCode(c.request);
  EXPECT_EQ(matrix.rows, c.rows);
  EXPECT_EQ(matrix.columns, c.columns);
  test::TempFolder folder;
  const std::string png = folder.Write("code.png", MatrixPng(matrix, CodeSymbologyOf(static_cast<int>(c.request.symbology)).quietZoneModules + 1));
  EXPECT_EQ(test::DecodePicture(c.request.symbology, png), test::ExpectedDecoding(c.request));
}

INSTANTIATE_TEST_SUITE_P(Codes, EncodeTest, testing::ValuesIn(kEncoded),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeCode, DataMatrixKeepsTheFinderPattern) {
  const ModuleMatrix m = EncodeCode({CodeSymbology::DataMatrix, "12345", false, "", false, 1});
  for (int k = 0; k < m.rows; ++k) EXPECT_TRUE(m.Dark(k, 0)) << "left column, row " << k;
  for (int k = 0; k < m.columns; ++k) EXPECT_TRUE(m.Dark(m.rows - 1, k)) << "bottom row, column " << k;
  for (int k = 0; k < m.columns; ++k) EXPECT_EQ(m.Dark(0, k), k % 2 == 0) << "top row, column " << k;
}

struct RefusalCase {
  const char* name;
  CodeRequest request;
  const char* message;
};

const RefusalCase kRefused[] = {
    {"Empty", {CodeSymbology::DataMatrix, "", false, "", false, 1}, "The code text (CodeText) is empty"},
    {"LongerThanTheLargestDataMatrix", {CodeSymbology::DataMatrix, std::string(3200, '7'), false, "", false, 1},
     "longer than the largest Data Matrix symbol holds"},
    {"NeedsThe144Symbol", {CodeSymbology::DataMatrix, std::string(2800, '7'), false, "", false, 1},
     "needs the 144x144 symbol"},
    {"Chose144", {CodeSymbology::DataMatrix, "7", false, "144x144", false, 1}, "needs the 144x144 symbol"},
    {"LongerThanTheLargestQr", {CodeSymbology::Qr, std::string(3000, 'x'), false, "", false, 3},
     "longer than the largest QR symbol holds"},
    {"DoesNotFitTheChosenSize", {CodeSymbology::DataMatrix, "SERIAL 0001234567", false, "10x10", false, 1},
     "does not fit the chosen size 10x10"},
    {"NoSuchDataMatrixSize", {CodeSymbology::DataMatrix, "1", false, "11x11", false, 1},
     "'11x11' is not a size of Data Matrix"},
    {"NoSuchQrVersion", {CodeSymbology::Qr, "1", false, "41", false, 1}, "'41' is not a size of QR"},
    {"QrLevel", {CodeSymbology::Qr, "1", false, "", false, 4}, "(CodeLevel) must be 0 (L)"},
    {"GS1WithoutIdentifier", {CodeSymbology::DataMatrix, "0950600013435", true, "", false, 1},
     "cannot be encoded as Data Matrix"},
    {"GS1ShortNumber", {CodeSymbology::DataMatrix, "(01)0950600013435", true, "", false, 1},
     "cannot be encoded as Data Matrix"},
    {"NoRectangleHoldsIt", {CodeSymbology::DataMatrix, std::string(150, '7'), false, "", true, 1},
     "longer than the largest rectangular Data Matrix symbol (16x48) holds"},
    {"GS1NotAscii", {CodeSymbology::DataMatrix, "(10)\xD8", true, "", false, 1}, "ASCII only"},
};

TEST(EncodeCode, RefusesContentThatDoesNotEncodeNamingWhy) {
  for (const RefusalCase& c : kRefused) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT([&] { EncodeCode(c.request); }, testing::ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

}  // namespace
}  // namespace stylor
