#pragma once

#include <string>

#include "engrave/codes/code_symbol.h"

namespace stylor::test {

/// What a real decoder reads in the picture `pngPath`: dmtxread for Data Matrix (its FNC1 as
/// the group separator 0x1D), zbarimg for QR, as UTF-8 without a line end. Each runs under a
/// time limit; an unread picture gives "". dmtxread looks at the picture `shrink` times smaller,
/// which is faster where modules are many pixels wide.
std::string DecodePicture(CodeSymbology symbology, const std::string& pngPath, int shrink = 2);

/// What the decoder gives back for a request's content: the Windows-1252 text in UTF-8, or for
/// GS1 element strings the data with each FNC1 as the group separator, the leading one too.
std::string ExpectedDecoding(const CodeRequest& request);

/// Runs a shell command, returning its standard output ("" when it fails).
std::string RunCommand(const std::string& command, int* status = nullptr);

}  // namespace stylor::test
