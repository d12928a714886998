#include "engrave/codes/code_symbol.h"

#include <dlfcn.h>
#include <zint.h>

#include <array>
#include <memory>

#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

constexpr CodeSymbologyInfo kSymbologies[] = {
    {CodeSymbology::None, "None", 0, ""},
    {CodeSymbology::DataMatrix, "Data Matrix", 1,
     "empty for the smallest, or rows x columns: 10x10 to 132x132, 8x18, 8x32, 12x26, 12x36, "
     "16x36, 16x48"},
    {CodeSymbology::Qr, "QR", 4, "empty for the smallest, or a version 1 to 40 (21x21 to 177x177)"},
};

// The ECC 200 sizes in the numbering of the encoder's size option (1 to 30); 31 on are the
// extended rectangles, which older readers do not know.
struct MatrixSize {
  int rows;
  int columns;
};
constexpr std::array<MatrixSize, 30> kDataMatrixSizes = {{
    {10, 10},  {12, 12},  {14, 14},  {16, 16},  {18, 18},  {20, 20},  {22, 22},  {24, 24},
    {26, 26},  {32, 32},  {36, 36},  {40, 40},  {44, 44},  {48, 48},  {52, 52},  {64, 64},
    {72, 72},  {80, 80},  {88, 88},  {96, 96},  {104, 104}, {120, 120}, {132, 132}, {144, 144},
    {8, 18},   {8, 32},   {12, 26},  {12, 36},  {16, 36},  {16, 48},
}};

[[noreturn]] void RefuseSize(const CodeRequest& request, const CodeSymbologyInfo& info) {
  throw Error("The code size (CodeSizeE) '" + request.size + "' is not a size of " +
              std::string(info.caption) + ": " + std::string(info.sizeHelp));
}

// The 144x144 Data Matrix interleaves its error correction one way in the standard and another
// in most readers (the decoder of the tests among them), so a code of that size may not read.
[[noreturn]] void RefuseLargest() {
  throw Error("The code text (CodeText) cannot be encoded as Data Matrix: the content needs the "
              "144x144 symbol, which readers and the standard interleave differently, so it may "
              "not read; the largest size cut is 132x132 (about 2300 digits or 1500 letters)");
}

// "RxC" as two whole numbers, or nothing.
bool ReadRowsColumns(std::string_view text, int& rows, int& columns) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  try {
    rows = ReadInteger(text.substr(0, x));
    columns = ReadInteger(text.substr(x + 1));
  } catch (const Error&) {
    return false;
  }
  return true;
}

// The size option of the encoder for the request's CodeSizeE, 0 for automatic.
int SizeOption(const CodeRequest& request, const CodeSymbologyInfo& info) {
  if (request.size.empty()) return 0;
  int rows = 0;
  int columns = 0;
  if (request.symbology == CodeSymbology::DataMatrix) {
    if (!ReadRowsColumns(request.size, rows, columns)) RefuseSize(request, info);
    if (rows == 144 && columns == 144) RefuseLargest();
    for (std::size_t k = 0; k < kDataMatrixSizes.size(); ++k) {
      if (kDataMatrixSizes[k].rows == rows && kDataMatrixSizes[k].columns == columns) {
        return static_cast<int>(k) + 1;
      }
    }
    RefuseSize(request, info);
  }
  int version = 0;
  if (ReadRowsColumns(request.size, rows, columns)) {
    if (rows != columns || (rows - 17) % 4 != 0) RefuseSize(request, info);
    version = (rows - 17) / 4;
  } else {
    try {
      version = ReadInteger(request.size);
    } catch (const Error&) {
      RefuseSize(request, info);
    }
  }
  if (version < 1 || version > 40) RefuseSize(request, info);
  return version;
}

// The encoder's message without its number ("Error 522: Input too long" -> "Input too long").
std::string EncoderReason(const zint_symbol& symbol) {
  std::string_view text(symbol.errtxt);
  const std::size_t colon = text.find(": ");
  if (colon != std::string_view::npos && text.substr(0, colon).find(' ') != std::string_view::npos &&
      (text.rfind("Error", 0) == 0 || text.rfind("Warning", 0) == 0)) {
    text.remove_prefix(colon + 2);
  }
  return std::string(text);
}

bool AllAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The size of an encoder size option as the user names it.
std::string SizeName(const CodeRequest& request, int sizeOption) {
  if (request.symbology == CodeSymbology::DataMatrix && sizeOption >= 1 && sizeOption <= 30) {
    const MatrixSize size = kDataMatrixSizes[static_cast<std::size_t>(sizeOption) - 1];
    return std::to_string(size.rows) + "x" + std::to_string(size.columns);
  }
  return request.size;
}

// libzint is opened when the first code is encoded, not linked: the command line is linked
// statically for a fast start, and Debian ships libzint as a shared library only.
struct ZintApi {
  zint_symbol* (*create)() = nullptr;
  int (*encode)(zint_symbol*, const unsigned char*, int) = nullptr;
  void (*remove)(zint_symbol*) = nullptr;
};

const ZintApi& Zint() {
  static const ZintApi api = [] {
    ZintApi loaded;
    void* library = nullptr;
    for (const char* name : {STYLOR_ZINT_SONAME, "libzint.so"}) {
      library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
      if (library != nullptr) break;
    }
    if (library == nullptr) return loaded;
    loaded.create = reinterpret_cast<zint_symbol* (*)()>(dlsym(library, "ZBarcode_Create"));
    loaded.encode = reinterpret_cast<int (*)(zint_symbol*, const unsigned char*, int)>(
        dlsym(library, "ZBarcode_Encode"));
    loaded.remove = reinterpret_cast<void (*)(zint_symbol*)>(dlsym(library, "ZBarcode_Delete"));
    if (!loaded.create || !loaded.encode || !loaded.remove) return ZintApi{};
    return loaded;
  }();
  if (api.create == nullptr) {
    throw Error(std::string("Cannot encode the code: the library libzint (") + STYLOR_ZINT_SONAME +
                ", package libzint2.11) cannot be loaded");
  }
  return api;
}

struct SymbolDeleter {
  void operator()(zint_symbol* symbol) const { Zint().remove(symbol); }
};

}  // namespace

const std::span<const CodeSymbologyInfo> kCodeSymbologies = kSymbologies;

const CodeSymbologyInfo& CodeSymbologyOf(std::int32_t codeKind) {
  if (codeKind < 0 || static_cast<std::size_t>(codeKind) >= std::size(kSymbologies)) {
    return kSymbologies[0];
  }
  return kSymbologies[codeKind];
}

namespace {

ModuleMatrix EncodeWithZint(const CodeRequest& request, int sizeOption) {
  const CodeSymbologyInfo& info = CodeSymbologyOf(static_cast<std::int32_t>(request.symbology));
  if (request.symbology == CodeSymbology::None) throw Error("No code symbology is chosen (CodeKind)");
  if (request.content.empty()) {
    throw Error("The code text (CodeText) is empty: a " + std::string(info.caption) +
                " code needs something to hold");
  }
  const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(Zint().create());
  if (!symbol) throw Error("Not enough memory to encode the code");
  symbol->warn_level = 0;
  if (request.symbology == CodeSymbology::DataMatrix) {
    symbol->symbology = BARCODE_DATAMATRIX;
    symbol->option_2 = sizeOption;
    if (sizeOption == 0) symbol->option_3 = DM_SQUARE;
  } else {
    symbol->symbology = BARCODE_QRCODE;
    if (request.qrLevel < 0 || request.qrLevel > 3) {
      throw Error("The QR error correction level (CodeLevel) must be 0 (L), 1 (M), 2 (Q) or 3 "
                  "(H), not " + std::to_string(request.qrLevel));
    }
    symbol->option_1 = request.qrLevel + 1;
    symbol->option_2 = sizeOption;
  }
  // The texts are Windows-1252; the encoder takes UTF-8 and stores what Latin-1 holds as
  // Latin-1, the default of both symbologies that every reader knows. QR readers guess the
  // character set of 8-bit data, so a QR code with more than ASCII says UTF-8 (ECI 26).
  const std::string utf8 = From8Bit(request.content);
  if (request.gs1) {
    if (!AllAscii(request.content)) {
      throw Error("GS1 element strings (CodeGS1) hold ASCII only; the code text has other "
                  "characters");
    }
    symbol->input_mode = GS1_MODE | GS1PARENS_MODE;
  } else {
    symbol->input_mode = UNICODE_MODE;
    if (request.symbology == CodeSymbology::Qr && !AllAscii(request.content)) symbol->eci = 26;
  }
  const int result = Zint().encode(symbol.get(), reinterpret_cast<const unsigned char*>(utf8.data()),
                                     static_cast<int>(utf8.size()));
  if (result >= ZINT_ERROR || result == ZINT_WARN_INVALID_OPTION) {
    std::string why = EncoderReason(*symbol);
    if (result == ZINT_WARN_INVALID_OPTION || result == ZINT_ERROR_TOO_LONG) {
      why = sizeOption == 0
                ? "the content is longer than the largest " + std::string(info.caption) +
                      " symbol holds (" + why + ")"
                : "the content does not fit the chosen size " + SizeName(request, sizeOption) +
                      " (" + why + ")";
    }
    throw Error("The code text (CodeText) cannot be encoded as " + std::string(info.caption) +
                ": " + why);
  }
  if (request.symbology == CodeSymbology::DataMatrix && symbol->rows == 144) RefuseLargest();
  ModuleMatrix matrix;
  matrix.rows = symbol->rows;
  matrix.columns = symbol->width;
  matrix.dark.resize(static_cast<std::size_t>(matrix.rows) * static_cast<std::size_t>(matrix.columns));
  for (int row = 0; row < matrix.rows; ++row) {
    for (int column = 0; column < matrix.columns; ++column) {
      const bool dark = ((symbol->encoded_data[row][column >> 3] >> (column & 7)) & 1) != 0;
      matrix.dark[static_cast<std::size_t>(row) * static_cast<std::size_t>(matrix.columns) +
                  static_cast<std::size_t>(column)] = dark ? 1 : 0;
    }
  }
  return matrix;
}

}  // namespace

ModuleMatrix EncodeCode(const CodeRequest& request) {
  if (request.symbology == CodeSymbology::None) throw Error("No code symbology is chosen (CodeKind)");
  const int sizeOption = SizeOption(request, CodeSymbologyOf(static_cast<std::int32_t>(request.symbology)));
  if (request.symbology != CodeSymbology::DataMatrix || !request.rectangular || sizeOption != 0) {
    return EncodeWithZint(request, sizeOption);
  }
  // Rectangular: the smallest rectangle that holds the content, for a code on a narrow face.
  for (int option = 25; option <= 30; ++option) {
    try {
      return EncodeWithZint(request, option);
    } catch (const Error& error) {
      if (std::string_view(error.what()).find("does not fit") == std::string_view::npos) throw;
    }
  }
  throw Error("The code text (CodeText) cannot be encoded as Data Matrix: the content is longer "
              "than the largest rectangular Data Matrix symbol (16x48) holds");
}

}  // namespace stylor
