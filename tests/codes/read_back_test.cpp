// Programs written by stylor-cli with a code, drawn by `stylor-cli render` and read back by the
// decoders: 200 contents spread over the symbologies, sizes, module styles, angles and contrast.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "decoders.h"
#include "settings/text8.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

struct ReadBackCase {
  CodeRequest request;
  int style = 1;           // CodeStyle
  double toolShare = 1;    // tool diameter over module size
  int angleDeg = 0;
  bool lightOnDark = false;
  int largestSide = 0;     // modules along the longer side, as far as the case knows
};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// GS1 element strings as part marking uses them: a GTIN with its check digit, an expiry date,
// a lot and a serial.
std::string Gs1Content(std::mt19937& random) {
  std::string gtin;
  for (int k = 0; k < 13; ++k) gtin += static_cast<char>('0' + random() % 10);
  int sum = 0;
  for (int k = 0; k < 13; ++k) sum += (gtin[static_cast<std::size_t>(k)] - '0') * (k % 2 == 0 ? 3 : 1);
  gtin += static_cast<char>('0' + (10 - sum % 10) % 10);
  std::string out = "(01)" + gtin;
  if (random() % 2 == 0) out += "(17)2" + std::to_string(6 + random() % 4) + "0" + std::to_string(1 + random() % 9) + "15";
  const auto alnum = [&](int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += "0123456789ABCDEFGHJKLMNPQRSTUVWXYZ"[random() % 34];
    return s;
  };
  out += "(10)" + alnum(2 + static_cast<int>(random() % 8));
  if (random() % 2 == 0) out += "(21)" + alnum(4 + static_cast<int>(random() % 12));
  return out;
}

// Text as a drawing says it, in Windows-1252: diameters, tolerances, degrees.
std::string MarkingText(std::mt19937& random, std::size_t length) {
  static const std::string kPieces[] = {"\xD8", "\xB1", "0.05", " ", "H7", "SN", "-", "12",
                                        "\xB0", "M6", "x", "R2", "/", "A", "LOT", "3"};
  std::string out;
  while (out.size() < length) out += kPieces[random() % std::size(kPieces)];
  return out;
}

std::vector<ReadBackCase> Cases() {
  std::mt19937 random(25);
  std::vector<ReadBackCase> cases;
  static const char* const kDataMatrixSizes[] = {"", "", "", "16x16", "24x24", "32x32", "8x32",
                                                 "12x36", "16x48", "44x44"};
  for (int k = 0; k < 200; ++k) {
    ReadBackCase c;
    const bool qr = k % 2 == 1;
    c.request.symbology = qr ? CodeSymbology::Qr : CodeSymbology::DataMatrix;
    c.angleDeg = std::array<int, 3>{0, 37, 90}[static_cast<std::size_t>(k / 2 % 3)];
    c.lightOnDark = k % 5 == 4;
    // Dots for Data Matrix, as a dot-peen or drill marks it, with the tool as wide as the
    // module; filled squares with tools from a third of the module to all of it.
    c.style = !qr && k % 4 == 2 ? 0 : 1;
    c.toolShare = c.style == 0 ? 1 : 0.3 + 0.7 * (random() % 100) / 99.0;
    const int kind = k / 2 % 4;  // serial, GS1 (Data Matrix) or text, Windows-1252 text
    if (kind == 0) {
      c.request.content = "SN-" + std::to_string(100000 + random() % 900000);
    } else if (kind == 1 && !qr) {
      c.request.content = Gs1Content(random);
      c.request.gs1 = true;
    } else {
      c.request.content = MarkingText(random, 4 + random() % 40);
    }
    if (qr) {
      c.request.qrLevel = static_cast<int>(random() % 4);
      if (k % 7 == 3) c.request.size = std::to_string(4 + random() % 5);
    } else {
      c.request.size = kDataMatrixSizes[random() % std::size(kDataMatrixSizes)];
      c.request.rectangular = c.request.size.empty() && random() % 3 == 0;
    }
    if (!c.request.size.empty()) {
      try {
        EncodeCode(c.request);
      } catch (const std::exception&) {
        c.request.size.clear();  // a size too small is refused; its refusal is tested elsewhere
      }
    }
    cases.push_back(c);
  }
  // The largest symbols, full.
  for (int k = 0; k < 4; ++k) {
    ReadBackCase& c = cases[static_cast<std::size_t>(k) * 50 + (k % 2 == 0 ? 10 : 11)];
    c.style = 1;
    c.toolShare = 0.8;
    if (c.request.symbology == CodeSymbology::DataMatrix) {
      c.request = {CodeSymbology::DataMatrix, std::string(2300, '0'), false, "132x132", false, 1};
      for (char& d : c.request.content) d = static_cast<char>('0' + random() % 10);
      c.largestSide = 132;
    } else {
      c.request = {CodeSymbology::Qr, std::string(1800, 'A'), false, "40", false, 3};
      for (char& d : c.request.content) d = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:"[random() % 45];
      c.largestSide = 177;
    }
  }
  return cases;
}

// The drawing as a camera sees the part: slightly out of focus (a blur of a fifth of a module),
// and for light-on-dark with the cut light on the dark surface. Sharp dots that only touch at
// their edges read on no camera's image, nor do they in the decoders here without this blur.
std::string AsCameraSees(std::string svg, const ReadBackCase& c) {
  double toolPixels = 0;
  if (const std::size_t at = svg.find("stroke-width=\""); at != std::string::npos) {
    toolPixels = std::stod(svg.substr(at + 14));
  } else if (const std::size_t r = svg.find(" r=\""); r != std::string::npos) {
    toolPixels = 2 * std::stod(svg.substr(r + 4));
  }
  const double modulePixels = toolPixels / c.toolShare;
  const std::size_t body = svg.find('>', svg.find("<rect")) + 1;
  svg.insert(body, "\n<defs><filter id=\"camera\" x=\"-20%\" y=\"-20%\" width=\"140%\" "
                   "height=\"140%\"><feGaussianBlur stdDeviation=\"" +
                       std::to_string(modulePixels / 5) + "\"/></filter></defs>\n"
                   "<g filter=\"url(#camera)\">");
  svg.insert(svg.rfind("</svg>"), "</g>\n");
  if (c.lightOnDark) {
    for (std::size_t at; (at = svg.find("#ffffff")) != std::string::npos;) svg.replace(at, 7, "#WHITE!");
    for (std::size_t at; (at = svg.find("#000000")) != std::string::npos;) svg.replace(at, 7, "#ffffff");
    for (std::size_t at; (at = svg.find("#WHITE!")) != std::string::npos;) svg.replace(at, 7, "#000000");
  }
  return svg;
}

// The cases are dealt out to a few shards that ctest can run side by side: each case takes a
// write, a render, a rasterisation and a decoder run.
constexpr std::size_t kShards = 4;

class CodesReadBack : public testing::TestWithParam<std::size_t> {};

TEST_P(CodesReadBack, WhatStylorCliCutsAndRendersTheDecodersReadAsTheContent) {
  const std::string cli = std::string(STYLOR_BIN_DIR) + "/stylor-cli";
  test::TempFolder folder;
  const std::vector<ReadBackCase> cases = Cases();
  int read = 0;
  for (std::size_t n = GetParam(); n < cases.size(); n += kShards) {
    const ReadBackCase& c = cases[n];
    const std::string name = "case" + std::to_string(n);
    SCOPED_TRACE(name + ": " + From8Bit(c.request.content).substr(0, 60) + " size '" +
                 c.request.size + "' style " + std::to_string(c.style) + " angle " +
                 std::to_string(c.angleDeg) + (c.lightOnDark ? " light-on-dark" : ""));
    const double module = 0.5;
    const std::string program = folder.File(name + ".nc");
    std::string command = "cd " + Quoted(folder.Path().string()) + " && " + cli +
        " --set FontFile=" + Quoted(std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt") +
        " --set CodeKind=" + std::to_string(static_cast<int>(c.request.symbology)) +
        " --set CodeText=" + Quoted(From8Bit(c.request.content)) +
        " --set CodeSizeE=" + Quoted(c.request.size) +
        " --set CodeRectangular=" + (c.request.rectangular ? "1" : "0") +
        " --set CodeLevel=" + std::to_string(c.request.qrLevel) +
        " --set CodeGS1=" + (c.request.gs1 ? "1" : "0") +
        " --set CodeLightOnDark=" + (c.lightOnDark ? "1" : "0") +
        " --set CodeStyle=" + std::to_string(c.style) +
        " --set CodeModuleE=0.5 --set ToolDiameterE=" + std::to_string(module * c.toolShare) +
        " --set CodeAngleE=" + std::to_string(c.angleDeg) +
        " --set CodeXE=3 --set CodeYE=-2 --set PenUpE=1 --set PenDownE=-0.1" +
        " text " + Quoted(program);
    int status = 0;
    test::RunCommand(command + " 2>&1", &status);
    ASSERT_EQ(status, 0) << command;
    const std::string svgPath = folder.File(name + ".svg");
    test::RunCommand(cli + " --set ToolDiameterE=" + std::to_string(module * c.toolShare) +
                     " render " + Quoted(program) + " " + Quoted(svgPath) + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    folder.Write(name + ".svg", AsCameraSees(test::ReadBytes(svgPath), c));
    const std::string png = folder.File(name + ".png");
    const std::string zoom = c.largestSide > 0 ? "2" : "1";
    test::RunCommand("rsvg-convert -z " + zoom + " -o " + Quoted(png) + " " + Quoted(svgPath), &status);
    ASSERT_EQ(status, 0);
    const std::string decoded =
        test::DecodePicture(c.request.symbology, png, c.largestSide > 0 ? 1 : 2);
    const std::string expected = test::ExpectedDecoding(c.request);
    EXPECT_EQ(decoded, expected);
    if (decoded == expected) ++read;

  }
  RecordProperty("read", read);
}

INSTANTIATE_TEST_SUITE_P(Shards, CodesReadBack, testing::Range<std::size_t>(0, kShards));

}  // namespace
}  // namespace stylor
