#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stylor {

/// The two-dimensional codes a job can cut beside its text (CodeKind's items, by index).
enum class CodeSymbology { None, DataMatrix, Qr };

/// One row of the table of code symbologies.
struct CodeSymbologyInfo {
  CodeSymbology symbology;
  std::string_view caption;     // as the window lists it
  int quietZoneModules;         // the light margin the symbol's standard asks for, in modules
  std::string_view sizeHelp;    // the sizes CodeSizeE takes for it
};

/// The symbologies in CodeKind order, "None" first.
extern const std::span<const CodeSymbologyInfo> kCodeSymbologies;

/// The row of a CodeKind index; any index outside the table is "None".
const CodeSymbologyInfo& CodeSymbologyOf(std::int32_t codeKind);

/// What to encode: the content as the job engraves text (Windows-1252 bytes) and the symbol's
/// options.
struct CodeRequest {
  CodeSymbology symbology = CodeSymbology::None;
  std::string content;       // Windows-1252; with gs1, element strings "(01)...(21)..."
  bool gs1 = false;          // GS1 element strings, FNC1 first and between variable fields
  std::string size;          // empty: the smallest that holds the content; "RxC" or a QR version
  bool rectangular = false;  // Data Matrix, automatic size: rectangular sizes allowed too
  int qrLevel = 1;           // QR error correction: 0 L, 1 M, 2 Q, 3 H
};

/// The modules of an encoded symbol, without its quiet zone. Row 0 is the top row as printed.
struct ModuleMatrix {
  int rows = 0;
  int columns = 0;
  std::vector<std::uint8_t> dark;  // rows x columns, 1 for a dark module
  bool Dark(int row, int column) const {
    return dark[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                static_cast<std::size_t>(column)] != 0;
  }
  friend bool operator==(const ModuleMatrix&, const ModuleMatrix&) = default;
};

/// Encodes the request. Throws Error naming why when it does not encode: no content, content
/// longer than the largest symbol (or the chosen size) holds, GS1 element strings that are not
/// valid, a size the symbology does not have.
ModuleMatrix EncodeCode(const CodeRequest& request);

}  // namespace stylor
